// The Env every command works through: the real operating system, with the
// temporary file of a make known to the interrupt handling (interrupt.h) and
// the bytes of each digest counted for the progress line (progress.h).
#pragma once

#include "platform/env.h"

namespace quillora::cli {

Env& ProgramEnv();

}  // namespace quillora::cli

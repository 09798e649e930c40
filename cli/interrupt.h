// What quillora-cli does when it is told to stop (SIGINT, SIGTERM, SIGHUP):
// it removes the temporary check file of a make that is still running, so the
// folder keeps its old CheckSum.md5 and nothing else, erases its status line,
// and then ends by the same signal (the shell sees 128 + the signal number).
#pragma once

#include "platform/env.h"

namespace quillora::cli {

// Blocks the stop signals in this thread and every thread started after it,
// and leaves them to one waiting thread; ignores SIGPIPE, so that a closed
// pipe is a write error. Call first in main, before any thread starts.
// A signal ignored when the program started stays ignored.
void StartInterruptHandling();

// The real operating system, except that the temporary file of a replacing
// write is known to the interrupt handling while it exists.
class InterruptibleEnv : public Env {
 public:
  std::unique_ptr<ReplacingFile> CreateReplacing(const std::string& path) override;
};

// The one InterruptibleEnv every command works through.
Env& ProgramEnv();

}  // namespace quillora::cli

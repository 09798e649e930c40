// The help texts, made from the command and option tables, so that a new
// option or command is described where it is defined.
#pragma once

#include <string>

#include "cli/commands.h"

namespace quillora::cli {

// The help of command, or the program's overview when command is nullptr.
std::string HelpText(const CommandRow* command);

}  // namespace quillora::cli

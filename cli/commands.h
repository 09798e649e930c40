// The commands of quillora-cli. Each takes the parsed arguments and returns
// the process's exit status.
#pragma once

#include <string_view>

#include "cli/arguments.h"

namespace quillora::cli {

int HashCommand(const Invocation& invocation);
int MakeCommand(const Invocation& invocation);
int VerifyCommand(const Invocation& invocation);

// Prints "quillora-cli: <problem>" and the pointer to --help on standard
// error; returns kExitUsage.
int UsageError(std::string_view problem);

}  // namespace quillora::cli

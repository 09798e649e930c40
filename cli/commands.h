// The commands of quillora-cli. Each takes its arguments (after the command
// word) and returns the process's exit status.
#pragma once

#include <string>
#include <vector>

namespace quillora::cli {

int HashCommand(const std::vector<std::string>& args);
int MakeCommand(const std::vector<std::string>& args);
int VerifyCommand(const std::vector<std::string>& args);

}  // namespace quillora::cli

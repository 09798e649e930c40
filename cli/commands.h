// The commands of quillora-cli. Each takes its arguments (after the command
// word) and returns the process's exit status.
#pragma once

#include <string>
#include <vector>

namespace quillora::cli {

// Options that every command takes.
struct Options {
  unsigned jobs = 0;  // digest threads; 0 means one per core, 1 means none
};

int HashCommand(const std::vector<std::string>& args, const Options& options);
int MakeCommand(const std::vector<std::string>& args, const Options& options);
int VerifyCommand(const std::vector<std::string>& args, const Options& options);

}  // namespace quillora::cli

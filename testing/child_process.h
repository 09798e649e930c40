// Runs a program as a child process, its output caught in files: the
// programs' own end-to-end tests start quillora-cli, md5sum and the shell
// this way. POSIX only; the Windows tests start theirs with CreateProcess.
#pragma once

#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/types.h>
#endif

namespace quillora::testing {

struct ChildRun {
  int status = -1;  // the exit status, or 128 + the signal that ended it
  std::string out, err;
  long peak_kib = 0;  // the most memory it held at once (POSIX only)
};

#ifndef _WIN32
struct ChildSetup {
  std::string cwd = {};  // where it starts; empty: our current folder
  int in = -1;      // its standard input, or ours when < 0
  // Its whole environment when given ("NAME=value"), else ours.
  const std::vector<std::string>* environment = nullptr;
  // Limits on its descriptors and its address space, 0 for ours. Both the
  // soft and the hard limit, as `ulimit -n` sets them, so it cannot raise
  // them back.
  rlim_t open_files = 0, memory = 0;
};

// Starts program with args, out and err as its standard output and error;
// none of our other descriptors reach it.
pid_t StartChild(const std::string& program, const std::vector<std::string>& args, int out, int err,
                 const ChildSetup& setup = {});
// Waits for child; its exit status as a shell reports it. peak_kib (when
// given) gets the most memory it held at once.
int WaitChild(pid_t child, long* peak_kib = nullptr);
// Runs program to its end, catching both outputs through files in
// capture_folder.
ChildRun RunChild(const std::string& program, const std::vector<std::string>& args, const std::string& capture_folder,
                  const ChildSetup& setup = {});
#endif

}  // namespace quillora::testing

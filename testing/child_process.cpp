#include "testing/child_process.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "testing/temp_tree.h"

namespace quillora::testing {

pid_t StartChild(const std::string& program, const std::vector<std::string>& args, int out, int err,
                 const ChildSetup& setup) {
  std::vector<char*> argv{const_cast<char*>(program.c_str())}, envp;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  if (setup.environment != nullptr) {
    for (const std::string& variable : *setup.environment) envp.push_back(const_cast<char*>(variable.c_str()));
    envp.push_back(nullptr);
  }
  const pid_t child = ::fork();
  if (child != 0) return child;
  if ((setup.in >= 0 && ::dup2(setup.in, 0) < 0) || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0) ::_exit(126);
  if (!setup.cwd.empty() && ::chdir(setup.cwd.c_str()) != 0) ::_exit(126);
  ::close_range(3, ~0U, 0);  // a descriptor limit counts every one: none of ours
  const auto limit = [](int resource, rlim_t value) {
    const rlimit both{value, value};
    return value == 0 || ::setrlimit(resource, &both) == 0;
  };
  if (!limit(RLIMIT_NOFILE, setup.open_files) || !limit(RLIMIT_AS, setup.memory)) ::_exit(126);
  if (setup.environment != nullptr) {
    ::execve(program.c_str(), argv.data(), envp.data());
  } else {
    ::execv(program.c_str(), argv.data());
  }
  ::_exit(127);
}

int WaitChild(pid_t child, long* peak_kib) {
  int status = 0;
  rusage usage{};
  if (::wait4(child, &status, 0, &usage) != child) return -1;
  if (peak_kib != nullptr) *peak_kib = usage.ru_maxrss;
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
}

ChildRun RunChild(const std::string& program, const std::vector<std::string>& args, const std::string& capture_folder,
                  const ChildSetup& setup) {
  const std::string out_path = capture_folder + "/stdout", err_path = capture_folder + "/stderr";
  ::unlink(out_path.c_str());  // may be another user's from an earlier run
  ::unlink(err_path.c_str());
  const int out = ::open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  const int err = ::open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  ChildRun run;
  if (out < 0 || err < 0) return run;
  run.status = WaitChild(StartChild(program, args, out, err, setup), &run.peak_kib);
  ::close(out);
  ::close(err);
  run.out = ReadFile(out_path);
  run.err = ReadFile(err_path);
  return run;
}

}  // namespace quillora::testing
#endif

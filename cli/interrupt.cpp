#include "cli/interrupt.h"

#include <string>
#include <utility>

#include "cli/output.h"
#include "platform/mutex.h"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "platform/wide_text.h"
#else
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <thread>
#endif

namespace quillora::cli {
namespace {

// The temporary file of the replacing write in progress, or empty. A stop
// takes this mutex and never gives it back, so no commit or clean-up can
// race the removal.
Mutex temp_mutex;
std::string pending_temp GUARDED_BY(temp_mutex);

class TrackedReplacingFile final : public ReplacingFile {
 public:
  explicit TrackedReplacingFile(std::unique_ptr<ReplacingFile> file) : file_(std::move(file)) {}
  ~TrackedReplacingFile() override {
    MutexLock lock(temp_mutex);
    file_.reset();
    pending_temp.clear();
  }
  void Append(std::string_view bytes) override { file_->Append(bytes); }
  void Commit() override {
    MutexLock lock(temp_mutex);
    file_->Commit();
    pending_temp.clear();
  }
  const std::string& temp_path() const override { return file_->temp_path(); }

 private:
  std::unique_ptr<ReplacingFile> file_;
};

#ifndef _WIN32
constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

// Whether a closed pipe ends the program by SIGPIPE: not when the program
// was started with SIGPIPE ignored.
bool broken_pipe_ends = true;

// Removes the temporary file and ends the program by signal number.
[[noreturn]] void EndBySignal(int number) {
  temp_mutex.Lock();  // held until the end
  if (!pending_temp.empty()) ::unlink(pending_temp.c_str());
  ClearStatus();
  // End by the signal itself, so the parent sees how the program ended.
  ::signal(number, SIG_DFL);
  sigset_t one;
  sigemptyset(&one);
  sigaddset(&one, number);
  ::pthread_sigmask(SIG_UNBLOCK, &one, nullptr);
  ::raise(number);
  ::_exit(128 + number);
}

[[noreturn]] void WaitForStop(sigset_t signals) {
  int number = 0;
  while (::sigwait(&signals, &number) != 0) {
  }
  EndBySignal(number);
}
#else
// Ctrl+C, Ctrl+Break and closing the console window: the system calls this on
// a thread of its own, and ends the program when it returns (a closing console
// does so after a few seconds whatever it returns).
BOOL WINAPI StopOnConsoleEvent(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) return FALSE;
  temp_mutex.Lock();  // held until the end
  if (!pending_temp.empty()) ::DeleteFileW(WidePath(pending_temp).c_str());
  ClearStatus();
  // The status cmd.exe shows for a program stopped by Ctrl+C.
  ::ExitProcess(STATUS_CONTROL_C_EXIT);
}
#endif

}  // namespace

void StartInterruptHandling() {
  SetBrokenPipeHandler(EndOnBrokenPipe);
#ifndef _WIN32
  broken_pipe_ends = ::signal(SIGPIPE, SIG_IGN) != SIG_IGN;
  sigset_t signals;
  sigemptyset(&signals);
  for (const int number : kStopSignals) {
    struct sigaction old {};
    if (::sigaction(number, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
    sigaddset(&signals, number);
  }
  ::pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  std::thread(WaitForStop, signals).detach();
#else
  ::SetConsoleCtrlHandler(StopOnConsoleEvent, TRUE);
#endif
}

void EndOnBrokenPipe() {
#ifndef _WIN32
  if (broken_pipe_ends) EndBySignal(SIGPIPE);
#endif
}

std::unique_ptr<ReplacingFile> TrackForInterrupt(Env& env, const std::string& path) {
  MutexLock lock(temp_mutex);
  auto file = std::make_unique<TrackedReplacingFile>(env.CreateReplacing(path));
  pending_temp = file->temp_path();
  return file;
}

}  // namespace quillora::cli

#include "cli/progress.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "checkfile/check_file_reader.h"
#include "cli/output.h"
#include "platform/mutex.h"
#include "platform/paths.h"

#ifndef _WIN32
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace quillora::cli {
namespace {

// From this size on, a file shows its own percentage on the progress line.
constexpr std::int64_t kOwnPercentageFrom = 64 << 20;

std::atomic<bool> counting{false};
std::atomic<std::int64_t> files_done{0};
std::atomic<std::int64_t> bytes_done{0};

// The large file being read now, if any.
struct LargeFile {
  std::string name;
  std::int64_t size = 0;
  std::atomic<std::int64_t> read{0};
};
Mutex large_mutex;
std::shared_ptr<LargeFile> large_file GUARDED_BY(large_mutex);

class CountedStream final : public WrappingStream {
 public:
  CountedStream(std::unique_ptr<Stream> stream, std::shared_ptr<LargeFile> large)
      : WrappingStream(std::move(stream)), large_(std::move(large)) {}
  ~CountedStream() override {
    if (!large_) return;
    MutexLock lock(large_mutex);
    if (large_file == large_) large_file.reset();
  }
  std::int64_t Read(void* buffer, std::size_t n) override {
    const std::int64_t count = WrappingStream::Read(buffer, n);
    if (count > 0) {
      bytes_done.fetch_add(count, std::memory_order_relaxed);
      if (large_) large_->read.fetch_add(count, std::memory_order_relaxed);
    }
    return count;
  }

 private:
  std::shared_ptr<LargeFile> large_;
};

// 1536 -> "1.5 KiB".
std::string Bytes(double bytes) {
  static const char* const kUnits[] = {"B", "KiB", "MiB", "GiB", "TiB", "PiB"};
  int unit = 0;
  while (bytes >= 1024 && unit < 5) {
    bytes /= 1024;
    ++unit;
  }
  char text[32];
  std::snprintf(text, sizeof text, unit == 0 ? "%.0f %s" : "%.1f %s", bytes, kUnits[unit]);
  return text;
}

std::size_t TerminalWidth() {
#ifndef _WIN32
  struct winsize size {};
  if (::ioctl(2, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
#endif
  return 80;
}

}  // namespace

struct Progress::State {
  Mutex mutex;
  CondVar wake;
  std::atomic<bool> stopping{false};  // set under mutex, so a wait never misses it
  std::atomic<std::int64_t> total{-1};  // records of the check file, once counted
  std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();
  std::thread thread;

  std::string Line() const {
    const std::int64_t files = files_done.load(std::memory_order_relaxed);
    const std::int64_t bytes = bytes_done.load(std::memory_order_relaxed);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::string line = std::to_string(files) + (files == 1 ? " file, " : " files, ") + Bytes(double(bytes));
    if (seconds > 0.2) line += ", " + Bytes(double(bytes) / seconds) + "/s";
    if (const std::int64_t all = total.load(); all >= 0)
      line += ", " + std::to_string(all > files ? all - files : 0) + " left";
    std::shared_ptr<LargeFile> large;
    {
      MutexLock lock(large_mutex);
      large = large_file;
    }
    if (large && large->size > 0)
      line += ", " + large->name + " " + std::to_string(large->read.load() * 100 / large->size) + "%";
    return line;
  }
};

bool WantsProgress(ProgressMode mode, bool findings_only) {
  if (mode != ProgressMode::kAuto) return mode == ProgressMode::kOn;
  return StderrIsTerminal() && (findings_only || !StdoutIsTerminal());
}

Progress::~Progress() { Stop(); }

void Progress::Start(Env& env, const std::string& check_file) {
  auto started = std::make_shared<State>();
  files_done = 0;
  bytes_done = 0;
  // Raises std::system_error when no thread can start; nothing runs then,
  // and nothing is left for Stop to wait for.
  started->thread = std::thread([state = started, &env, check_file] {
    if (!check_file.empty()) {
      try {
        std::unique_ptr<Stream> input = env.OpenTextForReading(check_file);
        CheckFileReader reader(*input);
        CheckRecord record;
        std::int64_t records = 0;
        while (reader.Next(record)) {
          ++records;
          if ((records & 1023) == 0 && state->stopping) return;
        }
        state->total = records;
      } catch (...) {
        // The verify itself reports a check file it cannot read.
      }
    }
    const std::size_t width = TerminalWidth();
    MutexLock lock(state->mutex);
    for (;;) {
      state->wake.WaitFor(state->mutex, std::chrono::milliseconds(100));
      if (state->stopping) return;
      std::string line = state->Line();
      if (line.size() >= width) line.resize(width - 1);
      ShowStatus(line);
    }
  });
  state_ = std::move(started);
  counting = true;
}

void Progress::Stop() {
  if (!state_) return;
  {
    MutexLock lock(state_->mutex);
    state_->stopping = true;
  }
  state_->wake.NotifyAll();
  state_->thread.join();
  state_.reset();
  counting = false;
  ClearStatus();
}

void Progress::FileDone() { files_done.fetch_add(1, std::memory_order_relaxed); }

void Progress::BytesRead(std::int64_t count) { bytes_done.fetch_add(count, std::memory_order_relaxed); }

std::unique_ptr<Stream> CountingStream(std::unique_ptr<Stream> stream, const std::string& path) {
  if (!counting) return stream;
  std::shared_ptr<LargeFile> large;
  if (const std::int64_t size = stream->Size(); size >= kOwnPercentageFrom) {
    large = std::make_shared<LargeFile>();
    large->name = NameOf(path);
    large->size = size;
    MutexLock lock(large_mutex);
    large_file = large;
  }
  return std::make_unique<CountedStream>(std::move(stream), std::move(large));
}

}  // namespace quillora::cli

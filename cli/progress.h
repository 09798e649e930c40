// The progress line of a long run, on standard error: files done, bytes read,
// the rate, for verify the files left, and the percentage of a large file
// being read. Redrawn at most ten times a second by a thread of its own and
// erased at the end; it never goes to standard output.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "cli/arguments.h"
#include "platform/env.h"

namespace quillora::cli {

// Whether a run shows progress: --progress, --no-progress, or by default
// when standard error is a terminal and standard output is not, or prints
// only what is wrong (verify --quiet, --status), whose few lines erase it
// before they are printed.
bool WantsProgress(ProgressMode mode, bool findings_only = false);

// The display of one run. Counting costs nothing until Start.
class Progress {
 public:
  Progress() = default;
  ~Progress();  // stops and erases
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  // Starts the display. With check_file given, its records are counted on
  // the display's thread and the line shows how many files are left. Raises
  // std::system_error when its thread cannot start; nothing is shown then.
  void Start(Env& env, const std::string& check_file = "");
  // Stops the display and erases its line. Safe to call twice.
  void Stop();

  // Counted by the commands as lines go out.
  static void FileDone();
  // Counted by the streams that CountingStream wraps.
  static void BytesRead(std::int64_t count);

 private:
  struct State;
  std::shared_ptr<State> state_;
};

// Wraps a stream a digest reads so that its bytes count towards the running
// display; a large file also shows its own percentage while it is read.
// Returns the stream as it was when no display runs.
std::unique_ptr<Stream> CountingStream(std::unique_ptr<Stream> stream, const std::string& path);

}  // namespace quillora::cli

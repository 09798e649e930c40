// The command line's JobSink: each result-box line goes to standard output,
// the files reported are counted for the progress line, and what the job
// left out is counted.
#pragma once

#include <cstdint>

#include "checkfile/job_sink.h"
#include "cli/output.h"
#include "cli/progress.h"

namespace quillora::cli {

class PrintingJobSink final : public JobSink {
 public:
  // Which lines stand for a file done: the maker's "Processing file" lines,
  // or every verdict line of a verify.
  enum class Counts { kMakerFiles, kVerdicts };
  // quiet: verdicts "OK" are not printed. silent: nothing is printed.
  explicit PrintingJobSink(Counts counts, bool quiet = false, bool silent = false)
      : counts_(counts), quiet_(quiet), silent_(silent) {}

  void Line(std::string_view text) override {
    // A job's closing lines start with an empty line; every line before it
    // is about one folder or file.
    if (in_files_ && text.empty()) {
      in_files_ = false;
      HoldLines();
    }
    if (in_files_) {
      if (counts_ == Counts::kVerdicts || text.starts_with("Processing file ")) Progress::FileDone();
      if (quiet_ && text.starts_with("OK ... ")) return;
    }
    if (!silent_) PrintLine(text);
  }
  void Pump() override {}  // no window to keep live
  void LeftOut(std::string_view, std::string_view) override { ++left_out_; }

  std::int64_t left_out() const { return left_out_; }

 private:
  Counts counts_;
  bool quiet_, silent_;
  bool in_files_ = true;
  std::int64_t left_out_ = 0;
};

}  // namespace quillora::cli

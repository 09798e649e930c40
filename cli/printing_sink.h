// The command line's JobSink: each result-box line goes to standard output,
// and what the job left out is counted.
#pragma once

#include <cstdint>

#include "checkfile/job_sink.h"
#include "cli/output.h"

namespace quillora::cli {

class PrintingJobSink final : public JobSink {
 public:
  void Line(std::string_view text) override { PrintLine(text); }
  void Pump() override {}  // no window to keep live
  void LeftOut(std::string_view, std::string_view) override { ++left_out_; }

  std::int64_t left_out() const { return left_out_; }

 private:
  std::int64_t left_out_ = 0;
};

}  // namespace quillora::cli

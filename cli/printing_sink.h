// The command line's JobSink: each result-box line goes to standard output.
#pragma once

#include "checkfile/job_sink.h"
#include "cli/output.h"

namespace quillora::cli {

class PrintingJobSink final : public JobSink {
 public:
  void Line(std::string_view text) override { PrintLine(text); }
  void Pump() override {}  // no window to keep live
};

}  // namespace quillora::cli

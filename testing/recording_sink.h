// A JobSink that keeps every line, and the number of lines that had been
// reported at each Pump(), so tests can see both what a job said and where
// it let the window breathe.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "checkfile/job_sink.h"

namespace quillora::testing {

class RecordingSink : public JobSink {
 public:
  void Line(std::string_view text) override { lines.emplace_back(text); }
  void Pump() override { pumps.push_back(lines.size()); }

  std::vector<std::string> lines;
  std::vector<std::size_t> pumps;  // lines.size() at each Pump()
};

}  // namespace quillora::testing

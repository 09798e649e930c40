// A ResultSink that keeps every line as the fronts render it, and the number
// of lines that had been reported at each Pump() and Flush(), so tests can
// see what a job said, where it let the window breathe and when it let its
// front write its lines out, what it left out, and why each file it could not
// open was not opened.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "checkfile/result_sink.h"
#include "platform/errors.h"

namespace quillora::testing {

class RecordingSink : public ResultSink {
 public:
  void Line(std::string_view text) override { lines.emplace_back(text); }
  void Pump() override { pumps.push_back(lines.size()); }
  void Flush() override { flushes.push_back(lines.size()); }
  void LeftOut(std::string_view path, std::string_view reason) override {
    left_out.push_back(std::string(path) + ": " + std::string(reason));
  }
  void VerdictOn(Verdict verdict, std::string& full_path, int error) override {
    if (verdict == Verdict::kUnopenable) unopenable.push_back(full_path + ": " + SystemErrorMessage(error));
    ResultSink::VerdictOn(verdict, full_path, error);
  }

  std::vector<std::string> lines;
  std::vector<std::size_t> pumps;     // lines.size() at each Pump()
  std::vector<std::size_t> flushes;   // lines.size() at each Flush()
  std::vector<std::string> left_out;  // "path: reason"
  std::vector<std::string> unopenable;  // "full path: reason", of each verdict "Could not open file"
};

}  // namespace quillora::testing

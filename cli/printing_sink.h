// The command line's ResultSink: each result-box line goes to standard
// output (a name that would break it escaped, PrintNamedLine), the files
// reported are counted for the progress line, and what the job left out or
// could not open is named with its reason on standard error, as md5sum names
// what it cannot read.
#pragma once

#include <cstdint>
#include <string>

#include "checkfile/result_sink.h"
#include "cli/output.h"
#include "cli/progress.h"
#include "platform/errors.h"

namespace quillora::cli {

class PrintingJobSink final : public ResultSink {
 public:
  // quiet: verdicts "OK" are not printed. silent: nothing is printed, on
  // either output. check_file: the verify's, named with each damaged line,
  // and with warn with each line not read as a record. digest: its name in
  // that warning, as md5sum and its kin name theirs ("MD5", "SHA256");
  // empty, none.
  explicit PrintingJobSink(bool quiet = false, bool silent = false, std::string check_file = {}, bool warn = false,
                           std::string digest = "MD5")
      : quiet_(quiet),
        silent_(silent),
        warn_(warn),
        check_file_(std::move(check_file)),
        improper_(": improperly formatted " + (digest.empty() ? digest : digest + " ") + "checksum line") {}

  void FileDone(std::string_view name, FileStatus status) override {
    Progress::FileDone();
    ResultSink::FileDone(name, status);
  }
  void VerdictOn(Verdict verdict, std::string& full_path, int error) override {
    Progress::FileDone();
    if (quiet_ && verdict == Verdict::kOk) return;
    ResultSink::VerdictOn(verdict, full_path, error);
    if (verdict == Verdict::kUnopenable) NameWithReason(full_path, SystemErrorMessage(error));
  }
  // The closing lines come all at once: they go out in blocks.
  void SummaryBegins() override {
    HoldLines();
    ResultSink::SummaryBegins();
  }
  void Pump() override {}  // no window to keep live
  void LeftOut(std::string_view path, std::string_view reason) override {
    NameWithReason(path, reason);
    ++left_out_;
  }
  // A damaged line of Quillora's own layout is named as md5sum --warn names
  // an improper one; with --warn, every line not read is.
  void LineNotRead(std::int64_t number, bool damaged) override {
    ResultSink::LineNotRead(number, damaged);
    if ((damaged || warn_) && !silent_)
      PrintPathProblem(check_file_, std::to_string(number) + improper_);
  }
  // A line that cannot be written ends the run here, before a make's check
  // file replaces the old one.
  void Flush() override { FlushLines(); }

  std::int64_t left_out() const { return left_out_; }

 protected:
  // Every line may carry a name that would break it.
  void Line(std::string_view text) override {
    if (!silent_) PrintNamedLine(text);
  }

 private:
  void NameWithReason(std::string_view path, std::string_view reason) {
    if (!silent_) PrintPathProblem(path, reason);
  }

  bool quiet_, silent_, warn_;
  std::string check_file_;
  std::string improper_;  // ": improperly formatted MD5 checksum line"
  std::int64_t left_out_ = 0;
};

}  // namespace quillora::cli

#include "checkfile/verifier.h"

#include <algorithm>
#include <exception>
#include <memory>

#include "checkfile/check_file_format.h"
#include "checkfile/input_text.h"
#include "checkfile/check_file_reader.h"
#include "md5/ahead_queue.h"
#include "md5/md5.h"
#include "platform/paths.h"

namespace quillora {
namespace {

void ReportVerdict(JobSink& sink, std::string_view lead, const std::string& full_path) {
  std::string line;
  line.reserve(lead.size() + full_path.size() + 2);
  line += lead;
  line += '"';
  line += full_path;
  line += '"';
  sink.Line(line);
  sink.Pump();
}

// One record on its way from the reader to the report.
struct VerifyItem {
  CheckRecord record;
  std::string relative;   // native form
  std::string full_path;  // the base folder and the relative path
  std::exception_ptr read_error;  // set instead: the check file failed here
  bool lost = false;              // no file at full_path when the record was read
};

}  // namespace

VerifyInput CheckVerifyInput(Env& env, const std::string& path_text) {
  if (NothingTyped(path_text)) return VerifyInput::kNoCheckFile;
  if (!env.FileExists(path_text)) return VerifyInput::kCheckFileMissing;
  return VerifyInput::kReady;
}

std::string_view VerifyInputMessage(VerifyInput input) {
  switch (input) {
    case VerifyInput::kNoCheckFile: return "Please select or drag-and-drop a check file firstly.";
    case VerifyInput::kCheckFileMissing: return "The check file does not exist.";
    case VerifyInput::kReady: break;
  }
  return "";
}

std::string BaseFolderOf(const std::string& check_file_path) {
  return WithTrailingSeparator(FolderOf(check_file_path));
}

VerifyCounts VerifyCheckFile(Env& env, const std::string& check_file_path, JobSink& sink, unsigned jobs) {
  const std::string base = BaseFolderOf(check_file_path);
  std::unique_ptr<Stream> input = env.OpenTextForReading(check_file_path);
  CheckFileReader reader(*input);
  // Records are read ahead of the report, and their files digested ahead.
  // A read failure found ahead waits in line, so the records before it are
  // still reported first.
  bool read_failed = false;
  AheadQueue<VerifyItem> queue(
      env, jobs,
      [&](VerifyItem& item) {
        if (read_failed) return false;
        try {
          if (!reader.Next(item.record)) return false;
        } catch (...) {
          item.read_error = std::current_exception();
          read_failed = true;
          return true;
        }
        item.read_error = nullptr;
        item.relative = FromCheckFilePath(item.record.relative_path);
        item.full_path.assign(base).append(item.relative);
        // A missing file needs no worker: handing it over would cost more
        // than looking.
        item.lost = !env.FileExists(item.full_path);
        return true;
      },
      [](const VerifyItem& item) { return item.read_error || item.lost ? nullptr : &item.full_path; });
  const auto keep_alive = [&sink] { sink.KeepAlive(); };
  VerifyTally tally;
  VerifyItem item;
  while (queue.Next(item)) {
    if (item.read_error) std::rethrow_exception(item.read_error);
    const AheadOutcome outcome = item.lost ? AheadOutcome{} : queue.Outcome(keep_alive);
    const std::string& relative = item.relative;
    const std::string& full_path = item.full_path;
    if (!outcome.exists) {
      tally.AddLost(relative);
      ReportVerdict(sink, "File does not exist ... ", full_path);
    } else if (!outcome.readable) {
      tally.AddUnopenable(relative);
      ReportVerdict(sink, "Could not open file ... ", full_path);
    } else if (outcome.error) {
      std::rethrow_exception(outcome.error);
    } else if (LowerAscii(outcome.digest) == LowerAscii(item.record.digest_text)) {
      tally.AddUnchanged();
      ReportVerdict(sink, "OK ... ", full_path);
    } else {
      tally.AddChanged(relative);
      ReportVerdict(sink, "File changed ... ", full_path);
    }
  }
  input.reset();
  tally.ReportSummary(sink, base);
  return tally.counts();
}

}  // namespace quillora

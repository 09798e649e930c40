#include "checkfile/verifier.h"

#include <algorithm>
#include <exception>
#include <memory>

#include "checkfile/check_file_format.h"
#include "checkfile/check_file_input.h"
#include "checkfile/input_text.h"
#include "checkfile/check_file_reader.h"
#include "digests/ahead_queue.h"
#include "digests/listed_folders.h"
#include "md5/md5.h"
#include "platform/descriptor_budget.h"
#include "platform/paths.h"

namespace quillora {
namespace {

// A path longer than any system opens (Linux takes 4 KiB, Windows 32 K
// characters): it cannot be looked at, and needs no worker to say so.
constexpr std::size_t kLongerThanAnyPath = 64 * 1024;

void ReportVerdict(ResultSink& sink, Verdict verdict, std::string& full_path, int error = 0) {
  sink.VerdictOn(verdict, full_path, error);
  sink.Pump();
}

// One record on its way from the reader to the report.
struct VerifyItem {
  CheckRecord record;  // its path goes on in file
  FileToOpen file;     // the full path, base folder first, and how to open it
  std::exception_ptr read_error;  // set instead: the check file failed here
  bool too_long = false;          // a path no system can look at
};

}  // namespace

VerifyInput CheckVerifyInput(Env& env, const std::string& path_text) {
  if (NothingTyped(path_text)) return VerifyInput::kNoCheckFile;
  try {
    if (!env.FileExists(path_text)) return VerifyInput::kCheckFileMissing;
  } catch (const SystemError&) {
    // Something may be there: reading it will say why it cannot be read.
  }
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

VerifyCounts VerifyCheckFile(Env& env, const std::string& check_file_path, ResultSink& sink, unsigned jobs,
                             const VerifyOptions& options) {
  CheckFileInput checked = OpenCheckFile(env, check_file_path, options.dash_is_standard_input);
  const std::string base = options.base_folder.empty() ? checked.base : WithTrailingSeparator(options.base_folder);
  std::unique_ptr<Stream>& input = checked.stream;
  // Each record's path comes with the base folder before it: the full path
  // is made without copying the record's path again.
  CheckFileReader reader(*input, base);
  // Records are read ahead of the report, and their files digested ahead.
  // A read failure found ahead waits in line, so the records before it are
  // still reported first.
  bool read_failed = false;
  // Records of a folder mostly come together: one listing of it spares each
  // a look before its open.
  const DescriptorBudget budget(env);
  ListedFolders listed(env, budget);
  AheadQueue<VerifyItem> queue(
      env, jobs, budget,
      [&](VerifyItem& item) {
        if (read_failed) return false;
        try {
          // A check file cut short or rewritten meanwhile would pass off
          // part of it, or of another, as the whole.
          if (!reader.Next(item.record)) {
            if (input->Unchanged()) return false;
            throw SystemFault(SystemFault::Object::kFile, check_file_path, kChangedWhileRead);
          }
        } catch (...) {
          item.read_error = std::current_exception();
          read_failed = true;
          return true;
        }
        item.read_error = nullptr;
        item.file = FileToOpen{std::move(item.record.path)};
        // Whether the file is there, the digest's open tells.
        item.too_long = item.file.path.size() >= kLongerThanAnyPath;
        if (!item.too_long) listed.Vouch(item.file);
        return true;
      },
      [](const VerifyItem& item) {
        return item.read_error || item.too_long ? DigestRequest{} : DigestRequest{&item.file};
      });
  const auto keep_alive = [&sink] { sink.KeepAlive(); };
  VerifyTally tally(base);
  VerifyItem item;
  while (queue.Next(item)) {
    if (item.read_error) std::rethrow_exception(item.read_error);
    AheadOutcome outcome;
    if (item.too_long) {
      outcome.exists = true;
      outcome.error = ReadabilityError(env, item.file.path);  // the system's own reason, at once
    } else {
      outcome = queue.Outcome(keep_alive);
    }
    // No descriptor or memory to be had says nothing of the file.
    if (IsOwnShortage(outcome.error)) throw SystemFault(SystemFault::Object::kFile, item.file.path, outcome.error);
    std::string& full_path = item.file.path;
    if (!outcome.exists && options.ignore_missing) {
      tally.IgnoreMissing();
      sink.Pump();
    } else if (!outcome.exists) {
      ReportVerdict(sink, Verdict::kLost, full_path);
      tally.AddLost(std::move(full_path));
    } else if (!outcome.digested()) {
      // Also a file whose read failed part way: that one file could not be
      // read, and the run goes on.
      ReportVerdict(sink, Verdict::kUnopenable, full_path, outcome.error);
      tally.AddUnopenable(std::move(full_path));
    } else if (EqualIgnoringAsciiCase(outcome.digest, item.record.digest_text)) {
      tally.AddUnchanged();
      ReportVerdict(sink, Verdict::kOk, full_path);
    } else {
      ReportVerdict(sink, Verdict::kChanged, full_path);
      tally.AddChanged(std::move(full_path));
    }
  }
  input.reset();
  tally.ReportSummary(sink);
  ReportUnreadLines(sink, reader);
  VerifyCounts counts = tally.counts();
  counts.unread_lines = reader.unread_lines();
  return counts;
}

}  // namespace quillora

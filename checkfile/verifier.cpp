#include "checkfile/verifier.h"

#include <algorithm>
#include <exception>
#include <functional>
#include <memory>
#include <optional>

#include "checkfile/check_file_format.h"
#include "checkfile/check_file_input.h"
#include "checkfile/check_file_signature.h"
#include "checkfile/input_text.h"
#include "checkfile/check_file_reader.h"
#include "checkfile/digest_choice.h"
#include "digests/ahead_queue.h"
#include "digests/listed_folders.h"
#include "hashes/digest_value.h"
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
  // The full path (base folder first, unless the record is absolute) and
  // how to open it.
  FileToOpen file;
  std::exception_ptr read_error;  // set instead: the check file failed here
  bool too_long = false;          // a path no system can look at
  DigestSet digests{DigestId::kMd5};  // what to compute
  // The lines read as no record between the record before and this one,
  // when they are told in place (VerifyOptions::unread_lines_in_place).
  std::vector<std::int64_t> unread_before;
  // Computed at once, with every candidate (DigestChoice); rare, so held
  // apart from the many items queued ahead.
  std::unique_ptr<AheadOutcome> probed;
};

// A record's file, compared with what a verify computed of it: its verdict,
// and for kUnopenable the reason.
struct Judged {
  Verdict verdict;
  int error = 0;
};

// Digests a file ahead of the records queued, through the verify's one
// pipeline (AheadQueue::DigestNow): set once the queue is made.
using DigestNowFn = std::function<AheadOutcome(const DigestRequest&)>;

// Verdicts on the records of other tools' layouts: the candidates, a second
// read for those not computed, hashdeep's size.
class OtherLayoutJudge {
 public:
  explicit OtherLayoutJudge(DigestChoice& choice) : choice_(choice) {}
  void UseDigestNow(DigestNowFn digest_now) { digest_now_ = std::move(digest_now); }

  // The verdict on record, whose file was digested as outcome tells.
  Judged Judge(const CheckRecord& record, const FileToOpen& file, const AheadOutcome& outcome) {
    computed_ = outcome.values;
    DigestChoice::Finding finding = choice_.Judge(record, computed_);
    if (finding == DigestChoice::Finding::kReadOthers) {
      const AheadOutcome again = digest_now_({&file, DigestChoice::Others(record, computed_)});
      if (IsOwnShortage(again.error)) throw SystemFault(SystemFault::Object::kFile, file.path, again.error);
      if (!again.digested()) {
        choice_.Unsettled(record);
        return again.exists ? Judged{Verdict::kUnopenable, again.error} : Judged{Verdict::kLost};
      }
      computed_.insert(computed_.end(), again.values.begin(), again.values.end());
      finding = choice_.Judge(record, computed_);
    }
    if (finding != DigestChoice::Finding::kMatch) return {Verdict::kChanged};
    // The bytes the digest read are the file's size as it was read.
    return {!record.size || outcome.size == *record.size ? Verdict::kOk : Verdict::kChanged};
  }

 private:
  DigestChoice& choice_;
  DigestNowFn digest_now_;
  DigestValues computed_;
};

// The records of a check file, read ahead of the report: each one's file,
// what to compute of it, and a probe at once where DigestChoice asks for
// one. A read failure found ahead waits in line, so the records before it
// are still reported first.
class RecordSource {
 public:
  RecordSource(Env& env, CheckFileReader& reader, CheckFileInput& input, const std::string& check_file_path,
               const std::string& base, RecordWatcher* watcher, const DescriptorBudget& budget, DigestChoice& choice)
      : env_(env),
        reader_(reader),
        input_(input),
        check_file_path_(check_file_path),
        base_(base),
        watcher_(watcher),
        listed_(env, budget),
        choice_(choice) {}
  void UseDigestNow(DigestNowFn digest_now) { digest_now_ = std::move(digest_now); }

  bool Next(VerifyItem& item) {
    if (failed_) return false;
    try {
      // A check file cut short or rewritten meanwhile, or whose reads ended
      // before its size, would pass off part of it, or of another, as the
      // whole.
      if (!reader_.Next(item.record)) {
        if (const int change = input_.ChangeSinceOpen())
          throw SystemFault(SystemFault::Object::kFile, check_file_path_, change);
        if (watcher_ != nullptr)
          watcher_->RecordsRead({base_, input_.name, WrittenLayout(reader_.layout(), first_digest_.value_or(DigestId::kMd5))});
        return false;
      }
      // A name written with a backslash is the file of that very name, when
      // there is one; else the backslashes separate folders.
      if (item.record.backslashes_may_separate && !SomethingAt(item.record.path))
        reader_.SeparateAtBackslashes(item.record);
      Watch(item.record);
      item.unread_before = reader_.TakeUnreadNumbers();
      item.read_error = nullptr;
      item.file = FileToOpen{std::move(item.record.path)};
      // Whether the file is there, the digest's open tells. Records of a
      // folder mostly come together: one listing of it spares each a look
      // before its open.
      item.too_long = item.file.path.size() >= kLongerThanAnyPath;
      if (!item.too_long) listed_.Vouch(item.file);
      Choose(item);
    } catch (...) {
      item.unread_before.clear();
      item.read_error = std::current_exception();
      failed_ = true;
    }
    return true;
  }

  static DigestRequest Request(const VerifyItem& item) {
    if (item.read_error || item.too_long || item.probed) return {};
    return {&item.file, item.digests};
  }

 private:
  void Choose(VerifyItem& item) {
    item.probed.reset();
    if (item.record.digests.empty()) {  // Quillora's own layout
      item.digests = DigestSet{DigestId::kMd5};
      return;
    }
    if (!item.too_long && choice_.WantsProbe(item.record)) {
      item.probed = std::make_unique<AheadOutcome>(digest_now_({&item.file, DigestChoice::Candidates(item.record)}));
      if (item.probed->digested()) choice_.Probed(item.record, item.probed->values);
    }
    item.digests = choice_.Request(item.record);
  }

  bool SomethingAt(const std::string& path) { return FileMayExist(env_, path) || FolderToUse(env_, path); }

  void Watch(const CheckRecord& record) {
    if (!first_digest_ && !record.digests.empty()) first_digest_ = *record.digests.front().candidates.begin();
    if (watcher_ == nullptr || !record.path.starts_with(base_)) return;
    watcher_->RecordBelow(std::string_view(record.path).substr(base_.size()));
  }

  Env& env_;
  CheckFileReader& reader_;
  CheckFileInput& input_;
  const std::string& check_file_path_;
  const std::string& base_;
  RecordWatcher* watcher_;
  std::optional<DigestId> first_digest_;  // of the first record: what a make of the check file writes
  ListedFolders listed_;
  DigestChoice& choice_;
  DigestNowFn digest_now_;
  bool failed_ = false;
};

// What a verify found of one record's file.
Judged JudgeItem(const VerifyItem& item, const AheadOutcome& outcome, OtherLayoutJudge& other_layouts) {
  if (!outcome.exists) return {Verdict::kLost, outcome.error};
  // Also a file whose read failed part way: that one file could not be
  // read, and the run goes on.
  if (!outcome.digested()) return {Verdict::kUnopenable, outcome.error};
  if (item.record.digests.empty())
    return {EqualIgnoringAsciiCase(outcome.text(), item.record.digest_text) ? Verdict::kOk : Verdict::kChanged};
  return other_layouts.Judge(item.record, item.file, outcome);
}

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
  // GnuPG reads the very bytes the records are read from below.
  const SignatureFinding signature = CheckFileSignature(
      env, check_file_path, checked, options.dash_is_standard_input && NamesStandardInput(check_file_path));
  if (signature.Fails()) return ReportRecordsNotVerified(sink, signature);
  const std::string base = options.names_as_written        ? std::string()
                           : options.base_folder.empty() ? checked.base
                                                         : WithTrailingSeparator(options.base_folder);
  // Each record's path comes with the base folder before it: the full path
  // is made without copying the record's path again.
  CheckFileReader reader(*checked.stream, base,
                         ReadingRules{.file_name = checked.name,
                                      .fixed = options.digests,
                                      .nul_ended = options.nul_ended,
                                      .keep_unread_numbers = options.unread_lines_in_place});
  const auto keep_alive = [&sink] { sink.KeepAlive(); };
  DigestChoice choice;
  const DescriptorBudget budget(env);
  RecordSource records(env, reader, checked, check_file_path, base, options.watcher, budget, choice);
  AheadQueue<VerifyItem> queue(
      env, jobs, budget, [&](VerifyItem& item) { return records.Next(item); }, RecordSource::Request);
  const DigestNowFn digest_now = [&](const DigestRequest& request) { return queue.DigestNow(request, keep_alive); };
  records.UseDigestNow(digest_now);
  VerifyTally tally(base);
  OtherLayoutJudge other_layouts(choice);
  other_layouts.UseDigestNow(digest_now);
  VerifyItem item;
  while (queue.Next(item)) {
    if (item.read_error) std::rethrow_exception(item.read_error);
    for (const std::int64_t number : item.unread_before) sink.UnreadLineMet(number);
    AheadOutcome outcome;
    if (item.too_long) {
      outcome.exists = true;
      outcome.error = ReadabilityError(env, item.file.path);  // the system's own reason, at once
    } else if (item.probed) {
      outcome = std::move(*item.probed);
    } else {
      outcome = queue.Outcome(keep_alive);
    }
    // No descriptor or memory to be had says nothing of the file.
    if (IsOwnShortage(outcome.error)) throw SystemFault(SystemFault::Object::kFile, item.file.path, outcome.error);
    if (!outcome.exists && options.ignore_missing) {
      tally.IgnoreMissing();
      sink.Pump();
      continue;
    }
    const Judged judged = JudgeItem(item, outcome, other_layouts);
    if (!item.record.digests.empty() && !outcome.digested()) choice.Unsettled(item.record);
    ReportVerdict(sink, judged.verdict, item.file.path, judged.error);
    tally.Add(judged.verdict, std::move(item.file.path), item.record.absolute);
  }
  for (const std::int64_t number : reader.TakeUnreadNumbers()) sink.UnreadLineMet(number);
  checked.stream.reset();
  std::vector<std::string> about_records;
  if (std::string line = choice.RecordsLine(); !line.empty()) about_records.push_back(std::move(line));
  if (const std::int64_t others = reader.passed_over_lines(); others > 0) {
    about_records.push_back(others == 1 ? "1 record of another digest was passed over, as asked."
                                        : std::to_string(others) + " records of other digests were passed over, as asked.");
  }
  for (std::string& line : SignatureLines(signature)) about_records.push_back(std::move(line));
  tally.ReportSummary(sink, about_records, choice.CalculationName());
  ReportUnreadLines(sink, reader);
  VerifyCounts counts = tally.counts();
  counts.unread_lines = reader.unread_lines();
  counts.unread_kinds = reader.unread_kinds();
  counts.signature_unchecked = signature.Unchecked();
  return counts;
}

}  // namespace quillora

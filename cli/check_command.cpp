// quillora-cli -c CHECKFILE... (--check, check): the verifier, speaking as
// the GNU checkers (sha256sum -c and its kin) speak, so that a script may
// call it in their place: their lines, words and exit status, names from the
// current folder, with every layout and digest the verifier reads.
#include <cerrno>
#include <string>
#include <vector>

#include "checkfile/check_file_input.h"
#include "checkfile/verifier.h"
#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/digest_choice.h"
#include "cli/gnu_names.h"
#include "cli/output.h"
#include "cli/program_env.h"
#include "cli/progress.h"
#include "platform/errors.h"
#include "platform/paths.h"

#ifdef _WIN32
#include <winerror.h>
#endif

namespace quillora::cli {
namespace {

// What a lookup that found nothing says, when the verifier knows no more.
#ifdef _WIN32
constexpr int kNothingThere = ERROR_FILE_NOT_FOUND;
#else
constexpr int kNothingThere = ENOENT;
#endif

// A verify's events as the GNU checkers print them: a line per record on
// standard output ("NAME: OK"), and on standard error why a file could not
// be read and, with --warn, each line not read, all in the records' order.
// The result box's own lines go nowhere.
class GnuCheckSink final : public ResultSink {
 public:
  // check_file: as the messages name it. digest: as the warning about a line
  // not read names it ("SHA256"); empty, none.
  GnuCheckSink(CheckReport report, std::string check_file, const std::string& digest)
      : report_(report),
        check_file_(std::move(check_file)),
        improper_(": improperly formatted " + (digest.empty() ? digest : digest + " ") + "checksum line") {}

  void VerdictOn(Verdict verdict, std::string& name, int error) override {
    Progress::FileDone();
    const bool silent = report_ == CheckReport::kStatus;
    switch (verdict) {
      case Verdict::kOk:
        if (!silent && report_ != CheckReport::kQuiet) PrintLine(CheckLineName(name) + ": OK");
        break;
      case Verdict::kChanged:
        if (!silent) PrintLine(CheckLineName(name) + ": FAILED");
        break;
      case Verdict::kLost:
      case Verdict::kUnopenable:
        // Named even with --status, as they name it.
        PrintPathProblem(name, SystemErrorMessage(error != 0 ? error : kNothingThere));
        if (!silent) PrintLine(CheckLineName(name) + ": FAILED open or read");
        break;
    }
  }
  void UnreadLineMet(std::int64_t number) override {
    if (report_ == CheckReport::kWarn) PrintPathProblem(check_file_, std::to_string(number) + improper_);
  }
  void Pump() override {}

 protected:
  void Line(std::string_view) override {}

 private:
  CheckReport report_;
  std::string check_file_;
  std::string improper_;  // ": improperly formatted SHA256 checksum line"
};

// "quillora-cli: WARNING: 2 lines are improperly formatted", for a count above 0.
void Warn(std::int64_t count, std::string_view one, std::string_view many) {
  if (count > 0) {
    PrintError("quillora-cli: WARNING: " + std::to_string(count) + " " + std::string(count == 1 ? one : many));
  }
}

// What some of the lines not read are, which the GNU checkers do not say:
// "2 lines not read look like SHA1 records".
std::string LinesLookLike(const UnreadKind& kind) {
  const bool one = kind.count == 1;
  std::string text = std::to_string(kind.count) + (one ? " line not read " : " lines not read ");
  switch (kind.why) {
    case UnreadWhy::kLacked:
      return text + (one ? "is a record of " : "are records of ") + kind.name + ", a digest not computed here";
    case UnreadWhy::kAfterEndMark:
      return text + (one ? "follows" : "follow") + " the end-of-file mark (Ctrl-Z)";
    case UnreadWhy::kOutsideMessage:
      return text + (one ? "lies" : "lie") + " outside the signed message";
    case UnreadWhy::kLooksLike:
      break;
  }
  text += one ? "looks like " : "look like ";
  if (kind.name.ends_with("-bit")) return text + (one ? "a record of a " : "records of a ") + kind.name + " digest";
  return text + (one ? "a " : "") + kind.name + (one ? " record" : " records");
}

// Says, after a verify, what the GNU checkers say after a check file, and
// then what more Quillora knows; true when it passed as theirs would.
bool Conclude(const Invocation& invocation, const std::string& check_file, const VerifyCounts& counts) {
  const std::int64_t failed_reads = counts.lost + counts.unopenable;
  const bool formatted = counts.total() + counts.missing_ignored > 0;
  const bool silent = invocation.check_report == CheckReport::kStatus;
  // No record was read: the check file's signature fails.
  if (counts.signature_fails) {
    if (!silent) PrintPathProblem(check_file, "the signature fails: no file was verified");
    return false;
  }
  if (!formatted) {
    PrintPathProblem(check_file, "no properly formatted checksum lines found");
  } else if (!silent) {
    Warn(counts.unread_lines, "line is improperly formatted", "lines are improperly formatted");
    Warn(failed_reads, "listed file could not be read", "listed files could not be read");
    Warn(counts.changed, "computed checksum did NOT match", "computed checksums did NOT match");
    if (invocation.ignore_missing && counts.unchanged == 0) PrintPathProblem(check_file, "no file was verified");
  }
  if (!silent) {
    for (const UnreadKind& kind : counts.unread_kinds) PrintPathProblem(check_file, LinesLookLike(kind));
    if (counts.signature_unchecked) PrintPathProblem(check_file, "its signature was not checked");
  }
  return formatted && counts.unchanged > 0 && counts.changed == 0 && failed_reads == 0 &&
         (!invocation.strict || counts.unread_lines == 0);
}

bool IsFolder(Env& env, const std::string& path) {
  try {
    return env.FolderExists(path);
  } catch (const SystemError&) {
    return false;
  }
}

bool CheckOne(const Invocation& invocation, Env& env, const std::string& check_file, DigestSet fixed) {
  const std::string shown = check_file == "-" ? "standard input" : check_file;
  bool once = NamesStandardInput(check_file);
  if (!once) {
    const int read_error = ReadabilityError(env, check_file);
    // A pipe reads; a folder is their "read error".
    once = read_error == kNotRegularFile && !IsFolder(env, check_file);
    if (read_error != 0 && !once) {
      PrintPathProblem(shown, IsFolder(env, check_file) ? "read error" : SystemErrorMessage(read_error));
      return false;
    }
  }
  const VerifyOptions options = {.dash_is_standard_input = true,
                                 .ignore_missing = invocation.ignore_missing,
                                 .digests = fixed,
                                 .names_as_written = true,
                                 .nul_ended = invocation.nul_ended,
                                 .unread_lines_in_place = invocation.check_report == CheckReport::kWarn};
  GnuCheckSink sink(invocation.check_report, shown,
                    DigestTypeName(fixed.empty() && !once ? DigestsByFileName(NameOf(check_file)) : fixed));
  Progress progress;
  const bool findings_only =
      invocation.check_report == CheckReport::kQuiet || invocation.check_report == CheckReport::kStatus;
  if (WantsProgress(invocation.progress, findings_only))
    progress.Start(env, once || invocation.ignore_missing ? std::string() : check_file);
  VerifyCounts counts;
  try {
    counts = VerifyCheckFile(env, check_file, sink, invocation.jobs, options);
  } catch (const Error& e) {
    progress.Stop();
    JobFailed(e, shown);
    return false;
  }
  progress.Stop();
  return Conclude(invocation, shown, counts);
}

}  // namespace

int CheckCommand(const Invocation& invocation) {
  QuotePathsInMessages();
  std::string problem;
  const DigestSet fixed = DigestsToVerify(invocation, problem);
  if (!problem.empty()) return UsageError(problem);
  std::vector<std::string> check_files = invocation.operands;
  if (check_files.empty()) check_files.push_back("-");
  Env& env = ProgramEnv();
  bool passed = true;
  for (const std::string& check_file : check_files) passed = CheckOne(invocation, env, check_file, fixed) && passed;
  return passed ? kExitOk : kExitFindings;
}

}  // namespace quillora::cli

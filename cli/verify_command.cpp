// quillora-cli verify CHECKFILE...: the verifier page's "Verify check file",
// printing the result box's lines, for each check file in turn.
#include <algorithm>
#include <memory>
#include <string>

#include "checkfile/check_file_input.h"
#include "checkfile/new_files.h"
#include "checkfile/verifier.h"
#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/digest_choice.h"
#include "cli/output.h"
#include "cli/printing_sink.h"
#include "cli/program_env.h"
#include "cli/progress.h"
#include "platform/errors.h"
#include "platform/paths.h"

namespace quillora::cli {
namespace {

// How the verify of one check file went.
struct CheckFileRun {
  int status = kExitOk;
  bool verified = false;  // false: it was refused or failed (status 2 or 3)
  VerifyCounts counts;
  std::size_t new_files = 0;
};

CheckFileRun NotVerified(int status) {
  CheckFileRun run;
  run.status = status;
  return run;
}

// Standard input, or a pipe, comes once: it cannot be read again to find new
// files or to count the records for the progress line.
bool ComesOnce(Env& env, const std::string& check_file) {
  return NamesStandardInput(check_file) || ReadabilityError(env, check_file) == kNotRegularFile;
}

// The system's reason why no names can be taken from folder, or 0. A folder
// that cannot be listed still opens the files it holds.
int NoFolderReason(Env& env, const std::string& folder) {
  try {
    if (!env.FolderExists(folder)) env.ListFolder(folder);  // words why it is none
  } catch (const SystemError& e) {
    return e.number();
  }
  return 0;
}

// The exit status of a verify that read its check file: what it says, and on
// standard error what makes it no pass without a verdict to show it.
int StatusOf(const Invocation& invocation, const std::string& check_file, const CheckFileRun& run,
             std::int64_t left_out, DigestSet fixed) {
  const VerifyCounts& counts = run.counts;
  // Its closing lines say what GnuPG found; the records went unread.
  if (counts.signature_fails) {
    if (!invocation.status_only) PrintPathProblem(check_file, "the signature fails: no file was verified");
    return kExitFindings;
  }
  // A line read as no record may have been one: a file it named went
  // unchecked, so it is a finding. md5sum's wording; --status keeps quiet
  // about it as md5sum's does.
  if (counts.unread_lines > 0 && !invocation.status_only) {
    PrintPathProblem(check_file, std::to_string(counts.unread_lines) + (counts.unread_lines == 1
                                                                            ? " line is improperly formatted"
                                                                            : " lines are improperly formatted"));
  }
  // Every file missing and passed over checks nothing either, as md5sum says.
  if (counts.total() == 0 && counts.missing_ignored > 0) {
    if (!invocation.status_only) PrintPathProblem(check_file, "no file was verified");
    return kExitFindings;
  }
  // A file of another format, or none at all, checks nothing: not a pass.
  if (counts.total() == 0) {
    std::string fixed_names;
    for (const DigestId id : fixed) fixed_names += (fixed_names.empty() ? "" : " or ") + std::string(InfoOf(id).name);
    PrintPathProblem(check_file, "no records found; the layouts read are DIGEST<TAB>PATH (Quillora's), DIGEST  NAME "
                                 "and DIGEST *NAME (md5sum's, sha256sum's and their kin's), TAG (NAME) = DIGEST "
                                 "(--tag), TAG(NAME)= DIGEST (openssl), NAME CRC32 (SFV) and PATH     DIGEST "
                                 "(a saved list)" +
                                     (fixed_names.empty() ? "" : "; -a takes lines of " + fixed_names + " only"));
    return kExitFindings;
  }
  // What --new could not look at is named on standard error, as make does.
  return counts.all_ok() && run.new_files == 0 && left_out == 0 && counts.unread_lines == 0 ? kExitOk
                                                                                            : kExitFindings;
}

CheckFileRun VerifyOne(const Invocation& invocation, Env& env, const std::string& check_file, DigestSet fixed) {
  bool once = NamesStandardInput(check_file);
  if (!once) {
    const int read_error = ReadabilityError(env, check_file);
    if (const VerifyInput input = CheckVerifyInput(env, check_file); input != VerifyInput::kReady)
      return NotVerified(InputError(check_file, read_error, VerifyInputMessage(input)));
    // Something is there that cannot be read (a pipe can, if nothing else
    // that is no regular file): the job would stop at its start.
    once = read_error == kNotRegularFile;
    if (read_error != 0 && !once) {
      PrintPathError(check_file, read_error);
      return NotVerified(kExitFailed);
    }
  }
  // The walk for new files runs while the digests are computed, from the
  // records the verify reads.
  std::unique_ptr<NewFileFinder> finder;
  if (invocation.new_files)
    finder = std::make_unique<NewFileFinder>(env, check_file, invocation.base_folder.value_or(""));
  const VerifyOptions options = {.dash_is_standard_input = true,
                                 .base_folder = invocation.base_folder.value_or(""),
                                 .ignore_missing = invocation.ignore_missing,
                                 .digests = fixed,
                                 .watcher = finder.get()};
  PrintingJobSink sink(invocation.quiet, invocation.status_only, check_file, invocation.warn,
                       DigestTypeName(fixed.empty() && !once ? DigestsByFileName(NameOf(check_file)) : fixed));
  Progress progress;
  // Files passed over as missing never count as done: no count of those
  // left, which would not come down to 0.
  if (WantsProgress(invocation.progress, invocation.quiet || invocation.status_only))
    progress.Start(env, once || invocation.ignore_missing ? std::string() : check_file);
  CheckFileRun run;
  try {
    run.counts = VerifyCheckFile(env, check_file, sink, invocation.jobs, options);
    progress.Stop();
    // Nor are new files told against records no signature vouches for.
    if (finder) {
      const std::vector<NewFileFinding> found = finder->Finish();
      if (!run.counts.signature_fails) run.new_files = ReportNewFiles(sink, found);
    }
  } catch (const Error& e) {
    progress.Stop();
    return NotVerified(JobFailed(e, check_file));
  }
  run.verified = true;
  run.status = StatusOf(invocation, check_file, run, sink.left_out(), fixed);
  return run;
}

// After the runs of several check files, their sums: "Operation completes
// for 2 check files.", the count line of all their records, with --new how
// many new files, and how many check files could not be verified.
void PrintTotals(const Invocation& invocation, std::size_t check_files, const CheckFileRun& sum,
                 std::size_t not_verified) {
  PrintLine("");
  PrintLine("Operation completes for " + std::to_string(check_files) + " check files.");
  PrintLine(CountLine(sum.counts));
  if (invocation.new_files) PrintLine(NewFilesLine(sum.new_files));
  if (not_verified > 0)
    PrintLine(std::to_string(not_verified) +
              (not_verified == 1 ? " check file could not be verified." : " check files could not be verified."));
}

}  // namespace

int VerifyCommand(const Invocation& invocation) {
  const std::vector<std::string>& check_files = invocation.operands;
  if (check_files.empty()) return UsageError("verify needs a CHECKFILE");
  std::string problem;
  const DigestSet fixed = DigestsToVerify(invocation, problem);
  if (!problem.empty()) return UsageError(problem);
  Env& env = ProgramEnv();
  if (invocation.new_files) {
    for (const std::string& check_file : check_files)
      if (ComesOnce(env, check_file))
        return UsageError("--new needs a CHECKFILE that can be read twice, not a pipe");
  }
  if (invocation.base_folder) {
    // An empty name would read as "no folder given": the check file's own.
    if (invocation.base_folder->empty()) return UsageError("--base-folder names no folder: ''");
    if (const int reason = NoFolderReason(env, *invocation.base_folder); reason != 0)
      return InputError(*invocation.base_folder, reason, "");
  }
  if (check_files.size() == 1) return VerifyOne(invocation, env, check_files[0], fixed).status;
  // Each check file's lines in turn under its name, whatever became of the
  // one before, then the sums of them all; the exit status is the worst.
  const bool print = !invocation.status_only;
  CheckFileRun sum;
  std::size_t not_verified = 0;
  for (std::size_t i = 0; i < check_files.size(); ++i) {
    if (print) {
      if (i > 0) PrintLine("");
      PrintNamedLine("Check file ... \"" + check_files[i] + "\"");
    }
    const CheckFileRun run = VerifyOne(invocation, env, check_files[i], fixed);
    // Lines held for the closing lines go out now: the next file's verdicts
    // are written as they come.
    FlushLines();
    sum.status = std::max(sum.status, run.status);
    if (!run.verified) ++not_verified;
    sum.counts.unchanged += run.counts.unchanged;
    sum.counts.changed += run.counts.changed;
    sum.counts.lost += run.counts.lost;
    sum.counts.unopenable += run.counts.unopenable;
    sum.new_files += run.new_files;
  }
  if (print) PrintTotals(invocation, check_files.size(), sum, not_verified);
  return sum.status;
}

}  // namespace quillora::cli

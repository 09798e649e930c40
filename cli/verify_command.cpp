// quillora-cli verify CHECKFILE: the verifier page's "Verify check file",
// printing the result box's lines.
#include <memory>
#include <string>

#include "checkfile/check_file_input.h"
#include "checkfile/new_files.h"
#include "checkfile/verifier.h"
#include "cli/commands.h"
#include "cli/output.h"
#include "cli/printing_sink.h"
#include "cli/program_env.h"
#include "cli/progress.h"
#include "platform/errors.h"

namespace quillora::cli {

int VerifyCommand(const Invocation& invocation) {
  if (invocation.operands.size() != 1) return UsageError("verify takes one CHECKFILE");
  const std::string& check_file = invocation.operands[0];
  Env& env = ProgramEnv();
  // Standard input, or a pipe, comes once: it cannot be read again to find
  // new files or to count the records for the progress line.
  bool once = NamesStandardInput(check_file);
  if (!once) {
    const int read_error = ReadabilityError(env, check_file);
    if (const VerifyInput input = CheckVerifyInput(env, check_file); input != VerifyInput::kReady)
      return InputError(check_file, read_error, VerifyInputMessage(input));
    // Something is there that cannot be read (a pipe can, if nothing else
    // that is no regular file): the job would stop at its start.
    once = read_error == kNotRegularFile;
    if (read_error != 0 && !once) {
      PrintPathError(check_file, read_error);
      return kExitFailed;
    }
  }
  if (once && invocation.new_files) return UsageError("--new needs a CHECKFILE that can be read twice, not a pipe");
  PrintingJobSink sink(invocation.quiet, invocation.status_only, check_file);
  // The walk for new files runs while the digests are computed.
  std::unique_ptr<NewFileFinder> finder;
  if (invocation.new_files) finder = std::make_unique<NewFileFinder>(env, check_file);
  Progress progress;
  if (WantsProgress(invocation.progress)) progress.Start(env, once ? std::string() : check_file);
  VerifyCounts counts;
  std::size_t new_files = 0;
  try {
    counts = VerifyCheckFile(env, check_file, sink, invocation.jobs, {.dash_is_standard_input = true});
    progress.Stop();
    if (finder) new_files = ReportNewFiles(sink, finder->Finish());
  } catch (const Error& e) {
    progress.Stop();
    return JobFailed(e, check_file);
  }
  // A line read as no record may have been one: a file it named went
  // unchecked, so it is a finding. md5sum's wording; --status keeps quiet
  // about it as md5sum's does.
  if (counts.unread_lines > 0 && !invocation.status_only) {
    PrintPathProblem(check_file, std::to_string(counts.unread_lines) + (counts.unread_lines == 1
                                                                            ? " line is improperly formatted"
                                                                            : " lines are improperly formatted"));
  }
  // A file of another format, or none at all, checks nothing: not a pass.
  if (counts.total() == 0) {
    PrintPathProblem(check_file,
                     "no records found; the layouts read are DIGEST<TAB>PATH (Quillora's), DIGEST  NAME and "
                     "DIGEST *NAME (md5sum's), MD5 (NAME) = DIGEST (md5sum --tag) and MD5(NAME)= DIGEST (openssl)");
    return kExitFindings;
  }
  // What --new could not look at is named on standard error, as make does.
  return counts.all_ok() && new_files == 0 && sink.left_out() == 0 && counts.unread_lines == 0 ? kExitOk
                                                                                                : kExitFindings;
}

}  // namespace quillora::cli

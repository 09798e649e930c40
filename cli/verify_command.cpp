// quillora-cli verify CHECKFILE: the verifier page's "Verify check file",
// printing the result box's lines.
#include <memory>
#include <string>

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
  if (const VerifyInput input = CheckVerifyInput(env, check_file); input != VerifyInput::kReady) {
    PrintError(VerifyInputMessage(input));
    return kExitUsage;
  }
  PrintingJobSink sink(PrintingJobSink::Counts::kVerdicts, invocation.quiet, invocation.status_only);
  // The walk for new files runs while the digests are computed.
  std::unique_ptr<NewFileFinder> finder;
  if (invocation.new_files) finder = std::make_unique<NewFileFinder>(env, check_file);
  Progress progress;
  if (WantsProgress(invocation.progress)) progress.Start(env, check_file);
  VerifyCounts counts;
  std::vector<std::string> new_files;
  try {
    counts = VerifyCheckFile(env, check_file, sink, invocation.jobs);
    progress.Stop();
    if (finder) {
      new_files = finder->Finish();
      ReportNewFiles(sink, new_files);
    }
  } catch (const Error& e) {
    progress.Stop();
    PrintError(WithFullStop(e.what()));
    return kExitFailed;
  }
  // A line of an md5sum-layout file that fits no layout may have been a
  // record: a file it named went unchecked, so it is a finding. md5sum's
  // wording; --status keeps quiet about it as md5sum's does.
  if (counts.improper_lines > 0 && !invocation.status_only) {
    PrintError("quillora-cli: " + check_file + ": " + std::to_string(counts.improper_lines) +
               (counts.improper_lines == 1 ? " line is improperly formatted" : " lines are improperly formatted"));
  }
  // A file of another format, or none at all, checks nothing: not a pass.
  if (counts.total() == 0) {
    PrintError("quillora-cli: " + check_file +
               ": no records found; the layouts read are DIGEST<TAB>PATH (Quillora's), DIGEST  NAME and "
               "DIGEST *NAME (md5sum's), MD5 (NAME) = DIGEST (md5sum --tag) and MD5(NAME)= DIGEST (openssl)");
    return kExitFindings;
  }
  return counts.all_ok() && new_files.empty() && counts.improper_lines == 0 ? kExitOk : kExitFindings;
}

}  // namespace quillora::cli

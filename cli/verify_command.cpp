// quillora-cli verify CHECKFILE: the verifier page's "Verify check file",
// printing the result box's lines.
#include "checkfile/verifier.h"
#include "cli/commands.h"
#include "cli/interrupt.h"
#include "cli/output.h"
#include "cli/printing_sink.h"
#include "platform/errors.h"

namespace quillora::cli {

int VerifyCommand(const std::vector<std::string>& args, const Options& options) {
  std::size_t at = 0;
  if (!args.empty() && args[0] == "--") at = 1;
  if (args.size() - at != 1) {
    PrintError("usage: quillora-cli verify CHECKFILE");
    return kExitUsage;
  }
  const std::string& check_file = args[at];
  Env& env = ProgramEnv();
  if (const VerifyInput input = CheckVerifyInput(env, check_file); input != VerifyInput::kReady) {
    PrintError(VerifyInputMessage(input));
    return kExitUsage;
  }
  PrintingJobSink sink;
  VerifyCounts counts;
  try {
    counts = VerifyCheckFile(env, check_file, sink, options.jobs);
  } catch (const Error& e) {
    PrintError(WithFullStop(e.what()));
    return kExitFailed;
  }
  // A file of another format, or none at all, checks nothing: not a pass.
  if (counts.total() == 0) {
    PrintError("quillora-cli: no records found in " + check_file);
    return kExitFindings;
  }
  return counts.all_ok() ? kExitOk : kExitFindings;
}

}  // namespace quillora::cli

// quillora-cli verify CHECKFILE: the verifier page's "Verify check file",
// printing the result box's lines.
#include "checkfile/verifier.h"
#include "cli/commands.h"
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
  Env& env = Env::Default();
  if (const VerifyInput input = CheckVerifyInput(env, check_file); input != VerifyInput::kReady) {
    PrintError(VerifyInputMessage(input));
    return kExitUsage;
  }
  PrintingJobSink sink;
  try {
    return VerifyCheckFile(env, check_file, sink, options.jobs).all_ok() ? kExitOk : kExitFindings;
  } catch (const Error& e) {
    PrintError(WithFullStop(e.what()));
    return kExitFailed;
  }
}

}  // namespace quillora::cli

// quillora-cli make [--no-subfolders] FOLDER: the maker page's "Make check
// file", printing the result box's lines.
#include "checkfile/maker.h"
#include "cli/commands.h"
#include "cli/output.h"
#include "cli/printing_sink.h"
#include "platform/errors.h"

namespace quillora::cli {

int MakeCommand(const std::vector<std::string>& args, const Options& options) {
  bool include_subfolders = true;
  std::size_t at = 0;
  for (; at < args.size(); ++at) {
    if (args[at] == "--no-subfolders") {
      include_subfolders = false;
    } else if (args[at] == "--") {
      ++at;
      break;
    } else {
      break;
    }
  }
  if (args.size() - at != 1) {
    PrintError("usage: quillora-cli make [--no-subfolders] FOLDER");
    return kExitUsage;
  }
  const std::string& folder = args[at];
  Env& env = Env::Default();
  if (const MakeInput input = CheckMakeInput(env, folder); input != MakeInput::kReady) {
    PrintError(MakeInputMessage(input));
    return kExitUsage;
  }
  PrintingJobSink sink;
  try {
    MakeCheckFile(env, folder, include_subfolders, sink, options.jobs);
  } catch (const Error& e) {
    PrintError(WithFullStop(e.what()));
    return kExitFailed;
  }
  return kExitOk;
}

}  // namespace quillora::cli

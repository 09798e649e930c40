// quillora-cli make [--no-subfolders] FOLDER: the maker page's "Make check
// file", printing the result box's lines.
#include <cerrno>
#include <string>

#include "checkfile/maker.h"
#include "cli/commands.h"
#include "cli/interrupt.h"
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
  Env& env = ProgramEnv();
  if (const MakeInput input = CheckMakeInput(env, folder); input != MakeInput::kReady) {
    PrintError(MakeInputMessage(input));
    return kExitUsage;
  }
  // A folder that cannot be listed would give a check file without records
  // and no word of why: the input is wrong, not one of its files.
  errno = 0;
  if (!env.ListFolder(folder)) {
    const int error = errno;
    PrintError("quillora-cli: cannot list the folder \"" + folder + "\"" +
               (error != 0 ? ": " + SystemErrorMessage(error) : std::string()));
    return kExitUsage;
  }
  PrintingJobSink sink;
  std::string check_file;
  try {
    check_file = MakeCheckFile(env, folder, include_subfolders, sink, options.jobs);
  } catch (const Error& e) {
    PrintError(WithFullStop(e.what()));
    return kExitFailed;
  }
  if (sink.left_out() == 0) return kExitOk;
  PrintError("quillora-cli: " + std::to_string(sink.left_out()) +
             (sink.left_out() == 1 ? " file or folder was" : " files or folders were") + " left out of \"" +
             check_file + "\"");
  return kExitFindings;
}

}  // namespace quillora::cli

// quillora-cli make [--no-subfolders] FOLDER: the maker page's "Make check
// file", printing the result box's lines.
#include <string>

#include "checkfile/maker.h"
#include "cli/commands.h"
#include "cli/output.h"
#include "cli/printing_sink.h"
#include "cli/program_env.h"
#include "cli/progress.h"
#include "platform/errors.h"

namespace quillora::cli {

int MakeCommand(const Invocation& invocation) {
  if (invocation.operands.size() != 1) return UsageError("make takes one FOLDER");
  const std::string& folder = invocation.operands[0];
  Env& env = ProgramEnv();
  if (const MakeInput input = CheckMakeInput(env, folder); input != MakeInput::kReady) {
    // The listing's error is the system's reason for a refusal.
    int listing_error = 0;
    try {
      env.ListFolder(folder);
    } catch (const SystemError& e) {
      listing_error = e.number();
    }
    return InputError(folder, listing_error, MakeInputMessage(input));
  }
  PrintingJobSink sink;
  Progress progress;
  if (WantsProgress(invocation.progress)) progress.Start(env);
  std::string check_file;
  try {
    check_file = MakeCheckFile(env, folder, !invocation.no_subfolders, sink, invocation.jobs,
                               invocation.md5sum_format ? CheckFileLayout::kMd5sum : CheckFileLayout::kQuillora);
  } catch (const Error& e) {
    progress.Stop();
    return JobFailed(e, CheckFilePathFor(folder));
  }
  progress.Stop();
  if (sink.left_out() == 0) return kExitOk;
  PrintError("quillora-cli: " + std::to_string(sink.left_out()) +
             (sink.left_out() == 1 ? " file or folder was" : " files or folders were") + " left out of \"" +
             check_file + "\"");
  return kExitFindings;
}

}  // namespace quillora::cli

// quillora-cli make [--no-subfolders] FOLDER: the maker page's "Make check
// file", printing the result box's lines.
#include <string>

#include "checkfile/maker.h"
#include "cli/commands.h"
#include "cli/digest_choice.h"
#include "cli/output.h"
#include "cli/printing_sink.h"
#include "cli/program_env.h"
#include "cli/progress.h"
#include "platform/errors.h"

namespace quillora::cli {

int MakeCommand(const Invocation& invocation) {
  if (invocation.operands.size() != 1) return UsageError("make takes one FOLDER");
  const std::string& folder = invocation.operands[0];
  std::string problem;
  const std::optional<WrittenLayout> layout = LayoutToWrite(invocation, problem);
  if (!layout) return UsageError(problem);
  Env& env = ProgramEnv();
  int refusal = 0;  // the system's reason, when it gave one
  if (const MakeInput input = CheckMakeInput(env, folder, &refusal); input != MakeInput::kReady)
    return InputError(folder, refusal, MakeInputMessage(input));
  PrintingJobSink sink;
  Progress progress;
  if (WantsProgress(invocation.progress)) progress.Start(env);
  std::string check_file;
  try {
    check_file = MakeCheckFile(env, folder, !invocation.no_subfolders, sink, invocation.jobs, *layout);
  } catch (const Error& e) {
    progress.Stop();
    return JobFailed(e, CheckFilePathFor(folder, *layout));
  }
  progress.Stop();
  if (sink.left_out() == 0) return kExitOk;
  PrintError("quillora-cli: " + std::to_string(sink.left_out()) +
             (sink.left_out() == 1 ? " file or folder was" : " files or folders were") + " left out of \"" +
             check_file + "\"");
  return kExitFindings;
}

}  // namespace quillora::cli

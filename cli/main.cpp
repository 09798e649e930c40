// quillora-cli: the window's jobs for scripts. Prints exactly the lines the
// window would show.
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/interrupt.h"
#include "cli/output.h"
#include "md5/md5_lanes.h"
#include "platform/errors.h"
#include "platform/wide_text.h"

namespace quillora::cli {

int UsageError(std::string_view problem) {
  PrintError("quillora-cli: " + std::string(problem));
  PrintError("Try 'quillora-cli --help' for more information.");
  return kExitUsage;
}

namespace {

int Run(const std::vector<std::string>& args) {
  Invocation invocation;
  if (const std::string problem = ParseArguments(args, invocation); !problem.empty()) return UsageError(problem);
  if (invocation.help) {
    PrintLine(HelpText(invocation.command));
    return kExitOk;
  }
  if (invocation.version) {
    PrintLine(QUILLORA_VERSION_TEXT);
    return kExitOk;
  }
  if (invocation.engine) ForceLaneEngine(*invocation.engine);
  if (invocation.command == "hash") return HashCommand(invocation);
  if (invocation.command == "make") return MakeCommand(invocation);
  if (invocation.command == "verify") return VerifyCommand(invocation);
  return UsageError("missing command");
}

}  // namespace
}  // namespace quillora::cli

int main(int argc, char** argv) {
  using namespace quillora::cli;
  StartInterruptHandling();
  InitOutput();
  try {
    const int status = Run(quillora::ProgramArguments(argc, argv));
    FlushLines();
    return status;
  } catch (const WriteError& e) {
    PrintError("quillora-cli: write error: " + quillora::SystemErrorMessage(e.number()));
    return kExitFailed;
  }
}

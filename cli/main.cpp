// quillora-cli: the window's jobs for scripts. Prints exactly the lines the
// window would show.
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/help.h"
#include "cli/interrupt.h"
#include "cli/output.h"
#include "md5/md5_lanes.h"
#include "platform/errors.h"
#include "platform/standard_streams.h"
#include "platform/wide_text.h"

namespace quillora::cli {
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
  if (invocation.command == nullptr) return UsageError("missing command");
  if (invocation.engine) ForceLaneEngine(*invocation.engine);
  return invocation.command->run(invocation);
}

}  // namespace
}  // namespace quillora::cli

int main(int argc, char** argv) {
  using namespace quillora::cli;
  // Nothing to report to when even the null device cannot be opened.
  if (!quillora::OpenClosedStandardStreams()) return kExitFailed;
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

// quillora-cli: the window's jobs for scripts. Prints exactly the lines the
// window would show.
#include <cerrno>
#include <new>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/help.h"
#include "cli/interrupt.h"
#include "cli/output.h"
#include "hashes/streaming_digest.h"
#include "digests/lane_kernel.h"
#include "platform/env.h"
#include "platform/errors.h"
#include "platform/standard_streams.h"
#include "platform/wide_text.h"

namespace quillora::cli {
namespace {

// "make: " for the command the arguments name, to say which job ended.
std::string JobName(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    if (FindCommand(argv[i]) != nullptr) return std::string(argv[i]) + ": ";
  return "";
}

// Runs the arguments' command; command is set to it as soon as it is known.
int Run(const std::vector<std::string>& args, const CommandRow*& command) {
  Invocation invocation;
  const std::string problem = ParseArguments(args, invocation);
  command = invocation.command;
  if (!problem.empty()) return UsageError(problem);
  if (invocation.help) {
    PrintLine(HelpText(invocation.command));
    return kExitOk;
  }
  if (invocation.version) {
    PrintLine(QUILLORA_VERSION_TEXT);
    return kExitOk;
  }
  if (invocation.command == nullptr) return UsageError("missing command");
  if (!invocation.engine.empty()) ForceKernel(invocation.engine);
  return invocation.command->run(invocation);
}

}  // namespace
}  // namespace quillora::cli

int main(int argc, char** argv) {
  using namespace quillora::cli;
  // Nothing to report to when even the null device cannot be opened.
  if (!quillora::OpenClosedStandardStreams()) return kExitFailed;
  quillora::FitHeapToAddressLimit();
  InitOutput();
  // Caught here, memory or a thread that cannot be had ends the run as any
  // failure does: every destructor runs, and a make's temporary file goes.
  const CommandRow* command = nullptr;
  try {
    // The digest library opens files as it starts and ends the program when
    // it cannot: it starts now, before any file of ours is open, with a
    // descriptor free for it.
    if (quillora::Env::Default().OpenFilesAllowed() == 0) throw std::system_error(EMFILE, std::generic_category());
    try {
      quillora::SetUpDigestLibrary();
    } catch (const std::runtime_error& e) {
      PrintError(std::string("quillora-cli: ") + e.what());
      return kExitFailed;
    }
    StartInterruptHandling();
    const int status = Run(quillora::ProgramArguments(argc, argv), command);
    FlushLines();
    return ExitStatusOf(command, status);
  } catch (const WriteError& e) {
    PrintError("quillora-cli: write error: " + quillora::SystemErrorMessage(e.number()));
  } catch (const std::bad_alloc&) {
    PrintError("quillora-cli: " + JobName(argc, argv) + quillora::SystemErrorMessage(ENOMEM));
  } catch (const std::system_error& e) {
    PrintError("quillora-cli: " + JobName(argc, argv) + e.code().message());
  }
  return ExitStatusOf(command, kExitFailed);
}

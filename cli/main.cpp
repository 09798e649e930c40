// quillora-cli: the window's jobs for scripts. Prints exactly the lines the
// window would show.
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/output.h"
#include "md5/md5_lanes.h"

namespace {

constexpr const char* kUsage =
    "usage: quillora-cli COMMAND [ARGUMENTS]\n"
    "\n"
    "Commands:\n"
    "  hash PATH...   print the MD5 digest of each file, and of every file below each\n"
    "                 folder, as the lines of a saved list: path, five spaces, digest\n"
    "                 (or \"Could not open file\")\n"
    "  make [--no-subfolders] FOLDER\n"
    "                 write FOLDER/CheckSum.md5, recording every file below FOLDER\n"
    "                 (only FOLDER's own files with --no-subfolders), and print the\n"
    "                 progress and completion lines\n"
    "  verify CHECKFILE\n"
    "                 check every file a check file records, relative to the check\n"
    "                 file's folder, and print a verdict per file and the summary\n"
    "\n"
    "Options:\n"
    "  --jobs N       digest with N threads (default: one per core; 1: no threads)\n"
    "  --engine E     diagnostic: digest with engine E, one of scalar, avx2, avx512\n"
    "                 (default: the widest this CPU runs)\n"
    "  --help         show this text\n"
    "  --version      show the version\n"
    "\n"
    "Exit status: 0 all done (verify: every file OK); 1 a file could not be opened\n"
    "(hash), or a file changed, is lost or could not be opened (verify); 2 bad usage\n"
    "or an input error (its message on standard error); 3 stopped by an error (its\n"
    "text on standard error).";

// Takes --jobs N (or --jobs=N) out of args wherever it stands before "--".
bool TakeOptions(std::vector<std::string>& args, quillora::cli::Options& options) {
  for (std::size_t i = 0; i < args.size() && args[i] != "--";) {
    std::string value;
    if (args[i] == "--jobs" && i + 1 < args.size()) {
      value = args[i + 1];
      args.erase(args.begin() + static_cast<std::ptrdiff_t>(i), args.begin() + static_cast<std::ptrdiff_t>(i) + 2);
    } else if (args[i].rfind("--jobs=", 0) == 0) {
      value = args[i].substr(7);
      args.erase(args.begin() + static_cast<std::ptrdiff_t>(i));
    } else if (args[i] == "--jobs") {
      return false;
    } else {
      ++i;
      continue;
    }
    char* end = nullptr;
    const unsigned long jobs = std::strtoul(value.c_str(), &end, 10);
    if (value.empty() || *end != '\0' || jobs == 0 || jobs > 256) return false;
    options.jobs = static_cast<unsigned>(jobs);
  }
  return true;
}

// Takes --engine E (or --engine=E) out of args wherever it stands before "--"
// and makes every digest use that engine. Returns an error text, or "".
std::string TakeEngine(std::vector<std::string>& args) {
  for (std::size_t i = 0; i < args.size() && args[i] != "--"; ++i) {
    const bool apart = args[i] == "--engine";
    if (!apart && args[i].rfind("--engine=", 0) != 0) continue;
    if (apart && i + 1 == args.size()) return "--engine takes scalar, avx2 or avx512";
    const std::string name = apart ? args[i + 1] : args[i].substr(9);
    args.erase(args.begin() + static_cast<std::ptrdiff_t>(i), args.begin() + static_cast<std::ptrdiff_t>(i) + (apart ? 2 : 1));
    const auto engine = quillora::LaneEngineNamed(name);
    if (!engine) return "--engine takes scalar, avx2 or avx512";
    if (!quillora::ForceLaneEngine(*engine)) return "this CPU cannot run the " + name + " engine";
    --i;
  }
  return "";
}

}  // namespace

int main(int argc, char** argv) {
  using namespace quillora::cli;
  std::vector<std::string> args(argv + 1, argv + argc);
  Options options;
  if (!TakeOptions(args, options)) {
    PrintError("quillora-cli: --jobs takes a number from 1 to 256");
    return kExitUsage;
  }
  if (const std::string error = TakeEngine(args); !error.empty()) {
    PrintError("quillora-cli: " + error);
    return kExitUsage;
  }
  if (args.empty()) {
    PrintError(kUsage);
    return kExitUsage;
  }
  const std::string command = args.front();
  args.erase(args.begin());
  int status;
  if (command == "--help" || command == "-h") {
    PrintLine(kUsage);
    status = kExitOk;
  } else if (command == "--version") {
    PrintLine(QUILLORA_VERSION_TEXT);
    status = kExitOk;
  } else if (command == "hash") {
    status = HashCommand(args, options);
  } else if (command == "make") {
    status = MakeCommand(args, options);
  } else if (command == "verify") {
    status = VerifyCommand(args, options);
  } else {
    PrintError("quillora-cli: unknown command \"" + command + "\"");
    PrintError(kUsage);
    status = kExitUsage;
  }
  FlushOutput();
  return status;
}

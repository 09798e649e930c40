#include "cli/arguments.h"

#include <cstdlib>
#include <optional>
#include <string_view>

#include "md5/md5_lanes.h"

namespace quillora::cli {
namespace {

// One option of the table. commands lists the commands that take it, or is
// empty when every command does.
struct OptionRow {
  std::string_view long_name;
  char short_name;  // 0 for none
  bool takes_value;
  std::vector<std::string_view> commands;
  // Stores the option in invocation; returns an error text or "".
  std::string (*apply)(Invocation& invocation, const std::string& value);
};

std::string SetJobs(Invocation& invocation, const std::string& value) {
  char* end = nullptr;
  const unsigned long jobs = std::strtoul(value.c_str(), &end, 10);
  if (value.empty() || value[0] < '0' || value[0] > '9' || *end != '\0' || jobs == 0 || jobs > 256)
    return "invalid number of jobs '" + value + "' (1 to 256)";
  invocation.jobs = static_cast<unsigned>(jobs);
  return "";
}

// A diagnostic: every digest of the run uses this engine.
std::string SetEngine(Invocation& invocation, const std::string& value) {
  const std::optional<LaneEngine> engine = LaneEngineNamed(value);
  if (!engine) return "invalid engine '" + value + "' (scalar, avx2 or avx512)";
  if (!LaneEngineSupported(*engine)) return "this processor cannot run the " + value + " engine";
  invocation.engine = engine;
  return "";
}

// The layout make and hash write: Quillora's own, or md5sum's for md5sum -c.
std::string SetFormat(Invocation& invocation, const std::string& value) {
  if (value != "quillora" && value != "md5sum") return "invalid format '" + value + "' (quillora or md5sum)";
  invocation.md5sum_format = value == "md5sum";
  return "";
}

const std::vector<OptionRow>& Options() {
  static const std::vector<OptionRow> options = {
      {"help", 'h', false, {}, [](Invocation& i, const std::string&) { return i.help = true, std::string(); }},
      {"version", 'V', false, {}, [](Invocation& i, const std::string&) { return i.version = true, std::string(); }},
      {"jobs", 'j', true, {}, SetJobs},
      {"engine", 0, true, {}, SetEngine},
      {"progress", 0, false, {},
       [](Invocation& i, const std::string&) { return i.progress = ProgressMode::kOn, std::string(); }},
      {"no-progress", 0, false, {},
       [](Invocation& i, const std::string&) { return i.progress = ProgressMode::kOff, std::string(); }},
      {"no-subfolders", 0, false, {"make"},
       [](Invocation& i, const std::string&) { return i.no_subfolders = true, std::string(); }},
      {"quiet", 0, false, {"verify"}, [](Invocation& i, const std::string&) { return i.quiet = true, std::string(); }},
      {"status", 0, false, {"verify"},
       [](Invocation& i, const std::string&) { return i.status_only = true, std::string(); }},
      {"new", 0, false, {"verify"}, [](Invocation& i, const std::string&) { return i.new_files = true, std::string(); }},
      {"format", 0, true, {"make", "hash"}, SetFormat},
  };
  return options;
}

const OptionRow* FindLong(std::string_view name) {
  for (const OptionRow& option : Options())
    if (option.long_name == name) return &option;
  return nullptr;
}

const OptionRow* FindShort(char name) {
  for (const OptionRow& option : Options())
    if (option.short_name != 0 && option.short_name == name) return &option;
  return nullptr;
}

bool IsCommand(std::string_view word) { return word == "hash" || word == "make" || word == "verify"; }

}  // namespace

std::string ParseArguments(const std::vector<std::string>& args, Invocation& invocation) {
  std::vector<const OptionRow*> given;
  bool options_ended = false;
  for (std::size_t at = 0; at < args.size(); ++at) {
    const std::string& arg = args[at];
    std::string error;
    if (options_ended || arg == "-" || arg.empty() || arg[0] != '-') {
      if (invocation.command.empty() && !invocation.help && !invocation.version) {
        if (!IsCommand(arg)) return "unknown command '" + arg + "'";
        invocation.command = arg;
      } else if (invocation.command.empty()) {
        // "--help make": the help of that command.
        if (IsCommand(arg)) invocation.command = arg;
      } else {
        invocation.operands.push_back(arg);
      }
      continue;
    }
    if (arg == "--") {
      options_ended = true;
      continue;
    }
    if (arg[1] == '-') {
      const std::size_t equals = arg.find('=');
      const std::string name = arg.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
      const OptionRow* option = FindLong(name);
      if (option == nullptr) return "unrecognized option '--" + name + "'";
      std::string value;
      if (equals != std::string::npos) {
        if (!option->takes_value) return "option '--" + name + "' doesn't allow an argument";
        value = arg.substr(equals + 1);
      } else if (option->takes_value) {
        if (at + 1 == args.size()) return "option '--" + name + "' requires an argument";
        value = args[++at];
      }
      if (error = option->apply(invocation, value); !error.empty()) return error;
      given.push_back(option);
      continue;
    }
    for (std::size_t i = 1; i < arg.size(); ++i) {
      const OptionRow* option = FindShort(arg[i]);
      if (option == nullptr) return std::string("invalid option -- '") + arg[i] + "'";
      std::string value;
      if (option->takes_value) {
        if (i + 1 < arg.size()) {
          value = arg.substr(i + 1);
        } else if (at + 1 < args.size()) {
          value = args[++at];
        } else {
          return std::string("option requires an argument -- '") + arg[i] + "'";
        }
        i = arg.size();
      }
      if (error = option->apply(invocation, value); !error.empty()) return error;
      given.push_back(option);
    }
  }
  for (const OptionRow* option : given) {
    if (option->commands.empty()) continue;
    bool taken = false;
    for (std::string_view command : option->commands) taken = taken || command == invocation.command;
    if (!taken && !invocation.help && !invocation.version) {
      const std::string name = "--" + std::string(option->long_name);
      if (invocation.command.empty()) return "option '" + name + "' needs a command";
      return invocation.command + " does not take the option '" + name + "'";
    }
  }
  return "";
}

std::string HelpText(const std::string& command) {
  if (command == "hash")
    return "usage: quillora-cli hash [OPTION]... [PATH]...\n"
           "Print the MD5 digest of each file, and of every file below each folder (files\n"
           "named CheckSum.md5 left out; links to folders met inside a folder not followed),\n"
           "as the lines of a saved list: path, five spaces, digest. A file named here that\n"
           "cannot be read gets \"Could not open file\"; one below a folder is left out and\n"
           "named on standard error. PATH - (or no PATH, when standard input is not a\n"
           "terminal) digests standard input, printed with the name -.\n"
           "\n"
           "  -j, --jobs N     digest with N threads (default: one per core; 1: no threads)\n"
           "      --format F   quillora (default) or md5sum: print md5sum's lines\n"
           "                   (DIGEST  PATH, escaped as md5sum escapes names)\n"
           "      --progress   show progress on standard error (default: when standard\n"
           "                   error is a terminal and standard output is not)\n"
           "      --no-progress\n"
           "  -h, --help       show this text\n"
           "\n"
           "Exit status: 0 every file digested, 1 a file could not be read, 2 bad usage,\n"
           "3 stopped by an error.";
  if (command == "make")
    return "usage: quillora-cli make [OPTION]... FOLDER\n"
           "Write FOLDER/CheckSum.md5, recording the digest of every file below FOLDER\n"
           "(links to folders met inside it are not followed), and print a line per\n"
           "folder and file and the completion lines. The old check file is replaced only\n"
           "when the new one is complete.\n"
           "\n"
           "      --no-subfolders  record only FOLDER's own files\n"
           "      --format F       quillora (default) or md5sum: write FOLDER/MD5SUMS in\n"
           "                       md5sum's layout instead, for md5sum -c\n"
           "  -j, --jobs N         digest with N threads (default: one per core)\n"
           "      --progress       show progress on standard error\n"
           "      --no-progress\n"
           "  -h, --help           show this text\n"
           "\n"
           "Exit status: 0 every file recorded, 1 a file or folder was left out (how many\n"
           "on standard error), 2 bad usage or FOLDER missing or unreadable, 3 stopped by\n"
           "an error such as a check file that cannot be written.";
  if (command == "verify")
    return "usage: quillora-cli verify [OPTION]... CHECKFILE\n"
           "Check every file that CHECKFILE records, relative to the folder that holds it,\n"
           "and print a verdict per file and the summary. CHECKFILE is read in Quillora's\n"
           "layout (DIGEST<TAB>PATH) or, when it holds no such line, in md5sum's (DIGEST\n"
           "NAME, DIGEST *NAME, MD5 (NAME) = DIGEST, MD5(NAME)= DIGEST).\n"
           "\n"
           "      --quiet          print only the verdicts that are not OK, and the summary\n"
           "      --status         print nothing; the exit status alone tells\n"
           "      --new            also report each file below the check file's folder that\n"
           "                       no record names (New file ... \"PATH\") and their count\n"
           "  -j, --jobs N         digest with N threads (default: one per core)\n"
           "      --progress       show progress on standard error\n"
           "      --no-progress\n"
           "  -h, --help           show this text\n"
           "\n"
           "Exit status: 0 every file OK, 1 a file changed, is lost, could not be opened\n"
           "or is new, or CHECKFILE holds no record, 2 bad usage or CHECKFILE missing,\n"
           "3 stopped by an error such as a check file that cannot be read.";
  return "usage: quillora-cli COMMAND [OPTION]... [OPERAND]...\n"
         "\n"
         "Commands:\n"
         "  hash [PATH]...   print the MD5 digest of each file, and of every file below\n"
         "                   each folder, as the lines of a saved list; - is standard input\n"
         "  make [--no-subfolders] FOLDER\n"
         "                   write FOLDER/CheckSum.md5, recording every file below FOLDER\n"
         "  verify [--quiet | --status] [--new] CHECKFILE\n"
         "                   check every file a check file records and print a verdict\n"
         "                   per file and the summary\n"
         "\n"
         "Options (before or after the operands; -- ends them):\n"
         "  -j, --jobs N     digest with N threads (default: one per core; 1: no threads)\n"
         "      --progress   show progress on standard error (default: when standard\n"
         "                   error is a terminal and standard output is not)\n"
         "      --no-progress\n"
         "      --engine E   diagnostic: digest with engine E (scalar, avx2, avx512;\n"
         "                   default: the widest this processor runs)\n"
         "  -h, --help       show this text; with a command, that command's help\n"
         "  -V, --version    show the version\n"
         "\n"
         "Exit status: 0 all done (verify: every file OK); 1 a finding: a file could not\n"
         "be read, was left out, changed, is lost or is new, or a check file holds no\n"
         "record; 2 bad usage or an input error (its message on standard error); 3\n"
         "stopped by an error, such as a failed write (its text on standard error).";
}

}  // namespace quillora::cli

// The command line's one parser, for every command, as GNU tools take their
// arguments: options may stand before or after the command and its operands,
// "--" ends them (all that follows is an operand), and "-" alone is an
// operand. Long options take their value as "--jobs=N" or "--jobs N", short
// ones as "-jN" or "-j N"; short options without a value may be grouped.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/commands.h"

namespace quillora::cli {

enum class ProgressMode { kAuto, kOn, kOff };

// What check prints, as the GNU checkers take --quiet, --status and --warn:
// the last given undoes the others.
enum class CheckReport { kAll, kQuiet, kStatus, kWarn };

// What the arguments asked for.
struct Invocation {
  const CommandRow* command = nullptr;  // none when no command was given
  std::vector<std::string> operands;    // after the command, in order

  bool help = false;     // -h, --help
  bool version = false;  // -V, --version
  unsigned jobs = 0;     // -j, --jobs: digest threads; 0 means one per core
  ProgressMode progress = ProgressMode::kAuto;  // --progress, --no-progress
  bool no_subfolders = false;                   // make --no-subfolders
  bool quiet = false;                           // verify --quiet
  bool status_only = false;                     // verify --status
  bool new_files = false;                       // verify --new
  bool ignore_missing = false;                  // verify --ignore-missing
  bool warn = false;                            // verify -w, --warn
  std::optional<std::string> base_folder;       // verify --base-folder DIR
  bool md5sum_format = false;                   // make, hash --format md5sum (default: quillora)
  std::string algorithm;                        // -a, --algorithm NAME, as cksum -a takes it; empty: none given
  int length_bits = 0;                          // -l, --length BITS; 0: none given
  bool tag = false;                             // make, hash --tag
  bool check = false;                           // -c, --check: the check command
  CheckReport check_report = CheckReport::kAll;  // check's --quiet, --status, --warn, the last given
  bool strict = false;                          // check --strict
  bool nul_ended = false;                       // hash, check -z, --zero: lines end with NUL
  char mode_mark = 0;                           // hash -b '*', -t ' ': the sums layout's mark; 0: none given
  std::string engine;                           // --engine, a diagnostic: a kernel's name; empty: each digest's own
};

// One option, as the parser takes it and the help texts show it.
struct OptionRow {
  std::string_view long_name;
  char short_name;                         // 0 for none
  std::string_view value_name;             // what its value is called in the help; empty: it takes none
  std::vector<std::string_view> commands;  // the commands that take it; empty: every command
  std::string_view help;                   // its line in the help texts
  // Stores the option in invocation; returns an error text or "".
  std::string (*apply)(Invocation& invocation, const std::string& value);

  bool TakesValue() const { return !value_name.empty(); }
  bool TakenBy(std::string_view command) const;
};

// In the order the help texts list them.
const std::vector<OptionRow>& Options();

// Parses the arguments after the program's name into invocation. The first
// operand names the command, but after -c (--check), which is the check
// command, unless that operand names a command. Returns an empty text on
// success, or the one line that names what is wrong (an unknown option or
// command, a missing or bad value, an option the command does not take),
// without the program's name; invocation.command is then the command as far
// as the arguments before the problem named it.
std::string ParseArguments(const std::vector<std::string>& args, Invocation& invocation);

}  // namespace quillora::cli

// The commands of quillora-cli, in one table that the parser, main and the
// help texts read, with the exit statuses they share. Each command takes the
// parsed arguments and returns the process's exit status.
#pragma once

#include <string_view>
#include <vector>

namespace quillora {
class Error;
}

namespace quillora::cli {

struct Invocation;

// Exit statuses shared by every command; each command's row says what they
// mean for it. A run ended by a signal gets 128 + its number from the shell.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFindings = 1;  // a file could not be read, changed, is lost, is new or was left out
inline constexpr int kExitUsage = 2;     // bad arguments or an input error
inline constexpr int kExitFailed = 3;    // an error that ends the run, such as a failed write

struct CommandRow {
  std::string_view name;
  std::string_view operands;          // as its usage line shows them: "[PATH]..."
  std::string_view summary;           // the overview's words about it
  std::string_view about;             // the first paragraph of its help
  // What kExitOk ... kExitFailed mean for it; empty past the last it gives
  // (check gives the GNU checkers' two).
  std::string_view exit_statuses[4];
  int (*run)(const Invocation& invocation);
};

const std::vector<CommandRow>& Commands();
// The row of the command named name, or nullptr.
const CommandRow* FindCommand(std::string_view name);

int HashCommand(const Invocation& invocation);
int MakeCommand(const Invocation& invocation);
int VerifyCommand(const Invocation& invocation);
int CheckCommand(const Invocation& invocation);

// The status the program exits with when command (nullptr: none was named)
// ended with status: status itself, or the last its row gives for any above
// (check exits with 1 for bad usage, as the GNU checkers do).
int ExitStatusOf(const CommandRow* command, int status);

// Prints "quillora-cli: <problem>" and the pointer to --help on standard
// error; returns kExitUsage.
int UsageError(std::string_view problem);

// Prints "quillora-cli: PATH: <the system's message for system_error>" on
// standard error, as GNU tools name a path they cannot use.
void PrintPathError(std::string_view path, int system_error);

// An operand the core's input check refused, or that the system refuses:
// names the path and the system's reason when there is one (system_error),
// else prints the input check's own message. Returns kExitUsage.
int InputError(std::string_view path, int system_error, std::string_view input_message);

// Prints what ended a job: "quillora-cli: PATH: REASON" for a fault of the
// system met on a file or folder (SystemFault) or a failure of the text file
// the job reads or writes (an IoError, FILE; the system's message when it
// came from the system), "quillora-cli: TEXT" for any other. Returns
// kExitFailed.
int JobFailed(const Error& error, std::string_view file);

}  // namespace quillora::cli

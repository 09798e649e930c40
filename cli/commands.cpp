#include "cli/commands.h"

#include <string>

#include "cli/output.h"
#include "platform/errors.h"

namespace quillora::cli {

const std::vector<CommandRow>& Commands() {
  static const std::vector<CommandRow> commands = {
      {"hash", "[PATH]...",
       "print the MD5 digest (or -a's) of each file, and of every file below each folder, as the lines of a saved "
       "list; - is standard input",
       "Print the MD5 digest of each file, and of every file below each folder (files named CheckSum.md5 left "
       "out; links to folders met inside a folder not followed), as the lines of a saved list: path, five "
       "spaces, digest. A file named here that cannot be read gets \"Could not open file\"; one below a folder "
       "is left out. Either is named on standard error with the reason. PATH - (or no PATH, when standard input is not a terminal) "
       "digests standard input, printed with the name -. With -a it prints that digest's tool's lines instead "
       "(sha256sum's, b2sum's, ...; --tag: tagged ones). A name holding a line break is written as md5sum "
       "writes it: the line starts with \\ and the name holds \\n, \\r and \\\\.",
       {"every file digested", "a file could not be read", "bad usage",
        "stopped by an error, such as a read that failed (the old check file is kept)"},
       HashCommand},
      {"make", "FOLDER", "write FOLDER/CheckSum.md5, recording every file below FOLDER",
       "Write FOLDER/CheckSum.md5, recording the digest of every file below FOLDER (links to folders met inside "
       "it are not followed), and print a line per folder and file and the completion lines. The old check "
       "file is replaced only when the new one is complete. With --format md5sum it writes FOLDER/MD5SUMS in "
       "md5sum's layout instead, and with -a that digest's sums file in its tool's layout (FOLDER/SHA256SUMS, "
       "FOLDER/B2SUMS, ...).",
       {"every file recorded", "a file or folder was left out (how many on standard error)",
        "bad usage, or FOLDER missing or unreadable",
        "stopped by an error, such as a check file that cannot be written or a listing that failed (the old check "
        "file is kept)"},
       MakeCommand},
      {"verify", "CHECKFILE...",
       "check every file the check files record and print a verdict per file and the summary",
       "Check every file that CHECKFILE records, relative to the folder that holds it, and print a verdict per "
       "file and the summary. CHECKFILE is read in Quillora's layout (DIGEST<TAB>PATH) or, when it holds no "
       "such line, in another tool's: md5sum's, sha256sum's and their kin's (DIGEST  NAME, DIGEST *NAME, "
       "TAG (NAME) = DIGEST, TAG(NAME)= DIGEST), SFV, hashdeep's, a saved list's (PATH, five blanks, DIGEST), "
       "each line's digest known by its tag, the check file's name or its length, or fixed by -a; CHECKFILE "
       "- is standard input, names then relative to the current folder. A file that could not be opened is "
       "named on standard error with the reason, and so is each line not read as a record. Several check files "
       "are verified in turn, each one's lines after the line Check file ... \"CHECKFILE\", one that fails "
       "stopping none of the others; then come the totals of them all, and the exit status is the worst. A name "
       "holding a line break is written as md5sum writes it: the line starts with \\ and the name holds \\n, "
       "\\r and \\\\.",
       {"every file OK",
        "a file changed, is lost, could not be opened or is new, a line was not read as a record, CHECKFILE "
        "holds no record, or its signature fails (then no record is read)",
        "bad usage, or CHECKFILE missing", "stopped by an error, such as a check file that cannot be read"},
       VerifyCommand},
      {"check", "[CHECKFILE]...",
       "verify each CHECKFILE as sha256sum -c does, in its words (also -c, --check)",
       "Check every file that each CHECKFILE records as sha256sum -c, b2sum -c, md5sum -c and cksum -c check "
       "them, so that a script may call quillora-cli -c in their place: names relative to the current folder, "
       "one line per record in their order and words (NAME: OK, NAME: FAILED, NAME: FAILED open or read; a name "
       "holding a backslash, line feed or carriage return escaped as they escape it), their warnings on standard "
       "error, and their exit status. Every layout and digest that verify reads is read, a line's digest known "
       "by its tag, the check file's name or its length, or fixed by -a, and the files are read on every core. "
       "No CHECKFILE, or -, is standard input. What Quillora says besides (what the lines not read look like, a "
       "signature not checked) comes on standard error after their lines. quillora-cli -c CHECKFILE... and "
       "--check are this command.",
       {"every file OK",
        "a file changed or could not be read, a check file could not be read or held no record, no file was "
        "verified (--ignore-missing), a line was not read (--strict); also bad usage or an error that ends the "
        "run, as the GNU checkers exit",
        "", ""},
       CheckCommand},
  };
  return commands;
}

int ExitStatusOf(const CommandRow* command, int status) {
  if (command == nullptr) return status;
  int last = 0;
  while (last + 1 < 4 && !command->exit_statuses[last + 1].empty()) ++last;
  return status > last && status < 128 ? last : status;
}

const CommandRow* FindCommand(std::string_view name) {
  for (const CommandRow& command : Commands())
    if (command.name == name) return &command;
  return nullptr;
}

int UsageError(std::string_view problem) {
  PrintError("quillora-cli: " + std::string(problem));
  PrintError("Try 'quillora-cli --help' for more information.");
  return kExitUsage;
}

void PrintPathError(std::string_view path, int system_error) {
  PrintPathProblem(path, SystemErrorMessage(system_error));
}

int InputError(std::string_view path, int system_error, std::string_view input_message) {
  if (system_error != 0) {
    PrintPathError(path, system_error);
  } else {
    PrintError("quillora-cli: " + std::string(input_message));
  }
  return kExitUsage;
}

int JobFailed(const Error& error, std::string_view file) {
  // A fault met on one file or folder names it, as GNU tools do.
  if (const auto* fault = dynamic_cast<const SystemFault*>(&error)) {
    PrintPathError(fault->path(), fault->number());
    return kExitFailed;
  }
  const auto* io_error = dynamic_cast<const IoError*>(&error);
  if (io_error != nullptr && !file.empty()) {
    const int number = io_error->system_error();
    PrintPathProblem(file, number != 0 ? SystemErrorMessage(number) : std::string(error.what()));
  } else {
    PrintError("quillora-cli: " + std::string(error.what()));
  }
  return kExitFailed;
}

}  // namespace quillora::cli

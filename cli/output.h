// Standard output and standard error of the command line.
//
// Every line goes out with one write() as soon as it is complete, so a reader
// at the other end of a pipe sees a line per file while the run goes on, and
// a run that is killed has printed every line it finished. When a stream is a
// terminal, the control characters of names are shown escaped (see
// EscapeControls); into a file or a pipe the bytes stay exact, but for a NUL
// (only a check file's record can hold one), written \x00 there too.
#pragma once

#include <exception>
#include <string>
#include <string_view>

namespace quillora::cli {

// A write to standard output that failed (a full disk, a closed file). The
// command ends; main reports "quillora-cli: write error: <message>". A pipe
// whose reader has gone ends the program by SIGPIPE instead, as it ends
// md5sum, unless SIGPIPE was ignored when the program started (the handler
// SetBrokenPipeHandler gives: interrupt.h's EndOnBrokenPipe).
class WriteError : public std::exception {
 public:
  explicit WriteError(int number) : number_(number) {}
  int number() const { return number_; }
  const char* what() const noexcept override { return "write error"; }

 private:
  int number_;
};

// What a write into a pipe whose reader has gone calls before it fails: a
// handler that ends the program, or returns when it may not.
void SetBrokenPipeHandler(void (*handler)());

// Looks once whether standard output and standard error are terminals.
// Called at start, before any line is printed.
void InitOutput();
bool StdoutIsTerminal();
bool StderrIsTerminal();
bool StdinIsTerminal();  // asked anew each time

void PrintLine(std::string_view line);   // line + "\n" to standard output; WriteError on failure
// bytes to standard output as they stand, their end included, never framed:
// a line of `hash -z` ends with NUL. WriteError on failure.
void PrintRaw(std::string_view bytes);

// A line that carries a name, on standard output, as md5sum writes a name
// that would break its line: a line holding a line feed or a carriage return
// (or, where a backslash is no separator, one that starts with a backslash)
// goes out with a "\" before it, and its backslashes, line feeds and carriage
// returns written "\\", "\n" and "\r". So a reader of the pipe gets one line
// per name, and undoes it for a line that starts with "\"; every other line
// stands as it is. Then as PrintLine.
void PrintNamedLine(std::string_view line);

// From HoldLines() on, standard output's lines are gathered and written in
// blocks of 64 KiB, and by FlushLines(), which ends the holding. For a run's
// closing lines, which come all at once: a million lost files would
// otherwise cost a million more system calls. A failed write of held lines
// raises WriteError from the PrintLine() that made it or, at the latest, from
// FlushLines(): a make flushes before it puts its check file in place, so a
// run whose lines were lost never replaces the old one.
void HoldLines();
void FlushLines();
void PrintError(std::string_view line);  // line + "\n" to standard error; its failures are not reported
// "quillora-cli: PATH: REASON" on standard error, as GNU tools name a file
// and what went wrong with it.
void PrintPathProblem(std::string_view path, std::string_view reason);
// From now on PrintPathProblem quotes PATH as the GNU tools quote a name in
// their messages (QuotedName, gnu_names.h): for `-c`, whose messages are theirs.
void QuotePathsInMessages();

// A status line on standard error that later lines replace: "\r", text and
// an erase to the line's end. ClearStatus() erases it. Lines printed
// meanwhile to a terminal erase it first, so it never mixes with them.
void ShowStatus(std::string_view text);
void ClearStatus();

// Text with bytes a terminal would act on shown as \xHH: C0 controls (ESC,
// BEL, CR, ...), DEL, and the C1 controls as UTF-8 writes them (C2 80 to
// C2 9F). Everything else is left as it stands.
std::string EscapeControls(std::string_view text);

}  // namespace quillora::cli

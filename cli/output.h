// Buffered standard output for the command line: lines are written as they
// come, in one buffer, so a long listing costs no per-line system call.
#pragma once

#include <string_view>

namespace quillora::cli {

void PrintLine(std::string_view line);   // line + "\n" to standard output
void PrintError(std::string_view line);  // line + "\n" to standard error, after flushing standard output
void FlushOutput();

// Exit statuses shared by every command.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFindings = 1;  // a file could not be opened, changed or is lost
inline constexpr int kExitUsage = 2;     // bad arguments or an input error
inline constexpr int kExitFailed = 3;    // what the window shows in its error report

}  // namespace quillora::cli

// Names as the GNU checkers write them, for `quillora-cli -c`: quoted in a
// message on standard error, escaped in a line of standard output. A script
// that reads their output reads ours the same way.
#pragma once

#include <string>
#include <string_view>

namespace quillora::cli {

// name as the GNU tools put a file name into a message ("sha256sum: NAME:
// No such file or directory"): as it stands when a shell would read it as
// it stands, else in single quotes, each single quote in it written '\'',
// each byte the user's locale (LC_ALL, LC_CTYPE, LANG) cannot print written
// $'\ooo' (a line feed, carriage return, TAB, BEL, backspace, form feed or
// vertical tab $'\n', $'\r', $'\t', $'\a', $'\b', $'\f', $'\v'); in double
// quotes instead when single quotes and characters that stand the same in
// both are all it holds. A colon also calls for quotes, as it would end the
// name in the message; so do an empty name, "#" or "~" first, and "{" or
// "}" alone.
std::string QuotedName(std::string_view name);

// name as a check line of the GNU checkers writes it ("NAME: OK"): when it
// holds a backslash, a line feed or a carriage return, "\" before it and
// those written "\\", "\n" and "\r"; else as it stands.
std::string CheckLineName(std::string_view name);

}  // namespace quillora::cli

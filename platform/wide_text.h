// Text at the edge of the Windows API. Inside, names and messages are UTF-8
// on every system; Windows' wide ("W") functions take UTF-16, and only they
// reach every name (the "A" functions see the ANSI code page's few hundred
// characters) and, with the "\\?\" form, paths past MAX_PATH.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quillora {

// True when text is well-formed UTF-8 (ASCII is).
bool IsUtf8(std::string_view text);

#ifdef _WIN32
std::wstring WideFromUtf8(std::string_view text);
std::string Utf8FromWide(std::wstring_view text);

// Text in the system's ANSI code page, as older programs wrote it, in UTF-8.
std::string Utf8FromAnsi(std::string_view text);

// path for the wide file functions: as it is while it is short, and past
// MAX_PATH made absolute with "\\?\" (or "\\?\UNC\") in front.
std::wstring WidePath(const std::string& path);
#endif

// The program's arguments after its name, as UTF-8. On Windows they come from
// the wide command line: argv holds them in the ANSI code page, where names
// outside it are already lost.
std::vector<std::string> ProgramArguments(int argc, char** argv);

// A path as the file system compares names: on Windows, where letter case
// tells no two names apart and "/" separates as "\\" does, in the system's
// upper case with every separator "\\"; elsewhere as it is.
std::string ComparableName(std::string_view path);

// Text read from a file that may have been written before the program wrote
// UTF-8: on Windows the bytes from offset on are read in the ANSI code page
// when they are not well-formed UTF-8; elsewhere they stay as they are.
void MendLegacyText(std::string& text, std::size_t offset);

}  // namespace quillora

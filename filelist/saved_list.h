// The saved digest list: one line per row, "path", five spaces, the digest
// text or "Could not open file", then the line end.
#pragma once

#include <string>
#include <string_view>

namespace quillora {

// One line of a saved list. The file uses CR LF; the command line prints "\n".
std::string SavedListLine(std::string_view path, std::string_view second_column, std::string_view line_end = "\r\n");

}  // namespace quillora

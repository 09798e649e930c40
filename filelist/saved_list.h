// The saved digest list: one line per row, the path, five spaces, the digest
// text or "Could not open file", then CR LF. Paths are written with their
// exact bytes.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/env.h"

namespace quillora {

// A row of the file digest list. digest is empty while the row waits for its
// digest, and stays empty when the digest failed after the row was added.
struct ListRow {
  std::string path;
  std::optional<std::string> digest;
};

// One line of a saved list. The file uses CR LF; the command line prints "\n".
std::string SavedListLine(std::string_view path, std::string_view second_column, std::string_view line_end = "\r\n");

// The second column a saved line carries for a row. A row without a digest
// (its file could not be opened for the digest) is saved as
// "Could not open file": it is what happened to that file.
std::string_view SavedSecondColumn(const ListRow& row);

// Writes the rows to path, replacing any file there as a whole: the old file
// stays exactly as it was until the new one is complete. Failures raise
// IoError and leave no partial file behind.
void SaveList(Env& env, const std::string& path, std::span<const ListRow> rows);

}  // namespace quillora

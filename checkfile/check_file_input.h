// Where a verify reads its check file from, and the folder its names are
// taken from: the folder of the file itself, not of a link to it elsewhere;
// for standard input ("-", /dev/stdin) or a pipe, the current folder, as
// md5sum takes them.
#pragma once

#include <memory>
#include <string>

#include "platform/env.h"
#include "platform/stream.h"

namespace quillora {

struct CheckFileInput {
  // Seekable, as the reader needs for a second reading: what comes once
  // (standard input, a pipe) is read whole into memory first.
  std::unique_ptr<Stream> stream;
  std::string base;   // the folder names are relative to, with a separator
  // The check file's own name, for what it tells of its records (ReadingRules):
  // that of the file a link leads to; empty from standard input.
  std::string name;
  bool once = false;  // from standard input or a pipe: there is no reading it again
  std::int64_t size = 0;  // at its open

  // Once it has been read to its end: 0 when it was read to the size it had
  // at its open and is still the version opened; else kChangedWhileRead
  // (a read that ended early, as some file systems give, or a change), or
  // the system error number of a failed look. What was read of it is then
  // not the whole check file.
  int ChangeSinceOpen();
};

// True for a path that names the program's standard input: "-", and on
// POSIX /dev/stdin.
bool NamesStandardInput(const std::string& path);

// Opens the check file at path (used exactly as given; with
// dash_is_standard_input, a path NamesStandardInput is the standard input).
// Raises IoError when it cannot be opened or read.
CheckFileInput OpenCheckFile(Env& env, const std::string& path, bool dash_is_standard_input = false);

}  // namespace quillora

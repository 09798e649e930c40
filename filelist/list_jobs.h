// The file digest list's jobs: picked files, dropped paths and folder scans,
// each reported row by row to a ListSink. The window's list and
// `quillora-cli hash` are two sinks over the very same code.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "checkfile/check_file_format.h"  // kCheckFileName, kCouldNotOpenFile
#include "platform/env.h"

namespace quillora {

// Receives the rows of the list as a job produces them.
class ListSink {
 public:
  using RowId = std::uint64_t;
  virtual ~ListSink() = default;
  // Appends a row whose first column is path; returns a handle to it that
  // stays valid while the job runs, whatever else changes the list.
  virtual RowId AppendRow(const std::string& path) = 0;
  // Sets the second column of a row this job appended.
  virtual void SetDigest(RowId row, const std::string& text) = 0;
  // Lets the window process pending messages.
  virtual void Pump() = 0;
};

// One file chosen in the open dialog: the row comes first, then the
// readability test; a failing file gets "Could not open file". A digest error
// (the file passed the test but cannot be opened for the digest) is thrown,
// leaving the row without a second column.
void AddPickedFile(Env& env, const std::string& path, ListSink& sink);

// One path dropped on the list: a readable file is digested as a pick is; a
// folder is scanned with AddFolderToList; anything else gets a row with
// "Could not open file". A digest error is thrown as in AddPickedFile.
void AddDroppedPath(Env& env, const std::string& path, ListSink& sink);

// Adds a row for every readable file in folder and, depth first in listing
// order, in all its sub-folders. "CheckSum.md5" and files that fail the
// readability test are left out; errors inside the scan are absorbed per
// entry. Rows are named folder + separator + name (one trailing separator of
// folder dropped first). A folder met again below itself (a link loop) adds
// nothing more.
void AddFolderToList(Env& env, const std::string& folder, ListSink& sink);

// Joins a folder and a name with exactly one separator between them.
std::string JoinPath(std::string_view folder, std::string_view name);

}  // namespace quillora

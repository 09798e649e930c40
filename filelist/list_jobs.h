// The file digest list's jobs: picked files, dropped paths and folder scans,
// each reported row by row to a ListSink. The window's list and
// `quillora-cli hash` are two sinks over the very same code.
//
// Digests are computed ahead on worker threads (`jobs` of them; 0 means one
// per core, 1 means none), yet every row, digest and pump reaches the sink
// in exactly the order a one-file-at-a-time job gives.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "md5/file_texts.h"  // kCheckFileName, kCouldNotOpenFile
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
  // Lets the window process pending messages, at the job's fixed points.
  virtual void Pump() = 0;
  // Called now and then while the job waits for a digest still running, so
  // the window stays live on a large file.
  virtual void KeepAlive() {}
  // Called for each file below a scanned folder that is left out of the list
  // because it cannot be read, with the reason.
  virtual void LeftOut(const std::string& /*path*/, std::string_view /*reason*/) {}
};

// Files chosen in the open dialog, in the dialog's order. Each gets its row
// first; one that fails the readability test gets "Could not open file". A
// digest error (the file passed the test but cannot be opened for the
// digest) ends the job by its exception, leaving that row without a second
// column and the later files not added.
void AddPickedFiles(Env& env, const std::vector<std::string>& paths, ListSink& sink, unsigned jobs = 0);

// Paths dropped on the list, in the drop's order: a folder is scanned as
// AddFolderToList does; anything else is handled as a picked file, a digest
// error ending the job in the same way.
void AddDroppedPaths(Env& env, const std::vector<std::string>& paths, ListSink& sink, unsigned jobs = 0);

// Adds a row for every readable file in folder and, depth first in listing
// order, in all its sub-folders. "CheckSum.md5" and files that fail the
// readability test are left out; errors inside the scan are absorbed per
// entry. Rows are named folder + separator + name (one trailing separator of
// folder dropped first). A folder met again below itself (a link loop) adds
// nothing more.
void AddFolderToList(Env& env, const std::string& folder, ListSink& sink, unsigned jobs = 0);

}  // namespace quillora

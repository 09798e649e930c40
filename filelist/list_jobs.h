// The file digest list's jobs: picked files, dropped paths and folder scans,
// each reported row by row to a ListSink. The window's list and
// `quillora-cli hash` are two sinks over the very same code.
//
// Digests are computed ahead on worker threads (`jobs` of them; 0 means one
// per core), yet every row, digest and pump reaches the sink
// in exactly the order a one-file-at-a-time job gives.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "digests/file_texts.h"  // kCouldNotOpenFile
#include "digests/passed_over.h"  // kCheckFileName
#include "digests/job_sink.h"
#include "hashes/digest_table.h"
#include "platform/env.h"

namespace quillora {

// Receives the rows of the list as a job produces them, and (JobSink) the
// pumps and what a folder scan leaves out: a file below it that cannot be
// read, a folder there that cannot be listed.
class ListSink : public JobSink {
 public:
  using RowId = std::uint64_t;
  // Appends a row whose first column is path; returns a handle to it that
  // stays valid while the job runs, whatever else changes the list.
  virtual RowId AppendRow(const std::string& path) = 0;
  // Sets the second column of a row this job appended: the lower-case
  // digest text.
  virtual void SetDigest(RowId row, const std::string& text) = 0;
  // The file of a row this job appended could not be digested: its second
  // column is "Could not open file". error: the system error number that
  // stopped it (the readability test's, or its digest's), or
  // kChangedWhileRead; SystemErrorMessage words it. The row never shows it.
  virtual void SetCouldNotOpen(RowId row, int error) {
    static_cast<void>(error);
    SetDigest(row, std::string(kCouldNotOpenFile));
  }
};

// Files chosen in the open dialog, in the dialog's order. Each gets its row
// first; one that fails the readability test, or whose digest fails (another
// program holds it, a read fails part way), gets "Could not open file", and
// the job goes on.
//
// Every job's rows hold MD5 digests, unless digest names another digest of
// the table (quillora-cli hash -a): its lower-case hex text then.
void AddPickedFiles(Env& env, const std::vector<std::string>& paths, ListSink& sink, unsigned jobs = 0,
                    DigestId digest = DigestId::kMd5);

// Paths dropped on the list, in the drop's order: a folder is scanned as
// AddFolderToList does; anything else is handled as a picked file.
void AddDroppedPaths(Env& env, const std::vector<std::string>& paths, ListSink& sink, unsigned jobs = 0,
                     DigestId digest = DigestId::kMd5);

// Adds a row for every readable file in folder and, depth first in listing
// order, in all its sub-folders. "CheckSum.md5", temporary check files
// (IsCheckFileTemp) and files that fail the readability test get no row; a
// file that passes the test but whose digest fails gets "Could not open
// file". Rows are named folder + separator + name (one trailing separator of
// folder dropped first). The folder is followed when it is a link, but a
// link to a folder met inside it is passed over, never entered.
void AddFolderToList(Env& env, const std::string& folder, ListSink& sink, unsigned jobs = 0,
                     DigestId digest = DigestId::kMd5);

}  // namespace quillora

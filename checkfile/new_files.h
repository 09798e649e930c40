// Files that a check file does not name: what a verify reports as new when
// asked to.
//
// The finder scans the check file's folder with the make's own scan
// (digests/folder_scan.h), into every sub-folder (passing over every "MD5SUMS"
// too when the check file is in md5sum's layout), and keeps what a make would
// record and no record names: a file whose name can be recorded and that
// passes the readability test. What it could not look at is kept too: a
// folder it cannot list (the check file's own folder included, or one past
// the path length limit), a file that cannot be read (a dangling link among
// them), a name that cannot be recorded. It runs on a thread of its own, so
// the walk costs no time while digests are computed. Memory: a hash set of
// the recorded paths, and what was found.
#pragma once

#include <exception>
#include <string>
#include <thread>
#include <vector>

#include "checkfile/result_sink.h"
#include "hashes/digest_table.h"
#include "platform/env.h"

namespace quillora {

// One thing the finder found, in walk order.
struct NewFileFinding {
  std::string path;    // full path: base folder and relative path
  std::string reason;  // empty for a new file; else why it could not be looked at
  bool is_new() const { return reason.empty(); }
};

class NewFileFinder {
 public:
  // Starts at once: reads the relative paths of the records of the check
  // file at check_file_path (an absolute one, as the path below the folder
  // it names, if it is one), then scans its folder (BaseFolderOf), or
  // base_folder when given (VerifyOptions::base_folder); the check file is
  // never new where it lies in the folder scanned. fixed: the digests the
  // user fixed, as for the verify (VerifyOptions::digests). env must be
  // usable from another thread and outlive the finder.
  NewFileFinder(Env& env, const std::string& check_file_path, const std::string& base_folder = {},
                DigestSet fixed = {});
  // Waits for the walk to end.
  ~NewFileFinder();
  NewFileFinder(const NewFileFinder&) = delete;
  NewFileFinder& operator=(const NewFileFinder&) = delete;

  // Waits for the walk to end and returns what it found, in walk order.
  // Raises the IoError of a check file that could not be read.
  std::vector<NewFileFinding> Finish();

 private:
  void Run(Env& env, const std::string& check_file_path, const std::string& base_folder, DigestSet fixed);

  std::vector<NewFileFinding> found_;
  std::exception_ptr error_;
  std::thread thread_;
};

// Reports what a finder found after a verify's summary, as closing lines: an
// empty line, NewFile for each new file, sink.LeftOut for each thing it could
// not look at, and the count (NewFilesLine). Returns the number of new files.
std::size_t ReportNewFiles(ResultSink& sink, const std::vector<NewFileFinding>& findings);

// "1 new file was found." or "N new files were found.".
std::string NewFilesLine(std::size_t count);

}  // namespace quillora

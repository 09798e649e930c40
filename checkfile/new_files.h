// Files that a check file does not name: what a verify reports as new when
// asked to.
//
// The finder walks the check file's folder as the maker does: into every
// sub-folder (links to folders met inside it are not followed), passing over
// every "CheckSum.md5" (and every "MD5SUMS" when the check file is in
// md5sum's layout), the check file itself and the maker's unfinished
// temporary files. It runs on a thread of its own, so the walk costs no time
// while digests are computed. Memory: a hash set of the recorded paths, and
// the new files found.
#pragma once

#include <exception>
#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

#include "checkfile/job_sink.h"
#include "platform/env.h"

namespace quillora {

class NewFileFinder {
 public:
  // Starts at once: reads the relative paths of the records of the check
  // file at check_file_path, then walks its folder (BaseFolderOf). env must
  // be usable from another thread and outlive the finder.
  NewFileFinder(Env& env, const std::string& check_file_path);
  // Waits for the walk to end.
  ~NewFileFinder();
  NewFileFinder(const NewFileFinder&) = delete;
  NewFileFinder& operator=(const NewFileFinder&) = delete;

  // Waits for the walk to end and returns the full paths (base folder and
  // relative path) of the files no record names, in walk order. Raises the
  // IoError of a check file that could not be read.
  std::vector<std::string> Finish();

 private:
  void Run(Env& env, const std::string& check_file_path);

  std::vector<std::string> found_;
  std::exception_ptr error_;
  std::thread thread_;
};

// Reports what a finder found after a verify's summary: an empty line, a line
// New file ... "<full path>" for each, and the count ("1 new file was found."
// or "N new files were found.").
void ReportNewFiles(JobSink& sink, const std::vector<std::string>& paths);

}  // namespace quillora

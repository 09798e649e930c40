// Files that a check file does not name: what a verify reports as new when
// asked to.
//
// The finder hears of each record from the verify itself (RecordWatcher,
// verifier.h), so the check file is read once and every name is the one the
// verify resolved; it keeps a digest of each name, never the name, so a long
// record is held once, by the verify. Once every record is read it scans the
// base folder with the make's own scan (digests/folder_scan.h), into every
// sub-folder (passing over the check files a make of that layout passes
// over), on a thread of its own, while the verify's digests go on, and keeps
// what a make would record and no record names: a file whose name can be
// recorded and that passes the readability test. Names compare as the file
// system compares them (ComparableName: on Windows letter case aside, either
// separator). What it could not look at is kept too: a folder it cannot list
// (the base folder included, or one past the path length limit), a file that
// cannot be read (a dangling link among them), a name that cannot be
// recorded.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>
#include <exception>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_set>
#include <vector>

#include "checkfile/result_sink.h"
#include "checkfile/verifier.h"
#include "platform/env.h"
#include "platform/mutex.h"

namespace quillora {

// One thing the finder found, in walk order.
struct NewFileFinding {
  std::string path;    // full path: base folder and relative path
  std::string reason;  // empty for a new file; else why it could not be looked at
  bool is_new() const { return reason.empty(); }
};

class NewFileFinder final : public RecordWatcher {
 public:
  // Starts its thread, which waits for the verify's records
  // (VerifyOptions::watcher = this) before it walks. check_file_path and
  // base_folder: as the verify is given them (VerifyOptions::base_folder);
  // with a base folder of its own, the check file is new there unless it
  // lies in it. env must be usable from another thread and outlive the
  // finder.
  NewFileFinder(Env& env, const std::string& check_file_path, const std::string& base_folder = {});
  // Stops the walk, or its wait for records that will not come (a verify
  // that failed), and waits for its thread.
  ~NewFileFinder() override;
  NewFileFinder(const NewFileFinder&) = delete;
  NewFileFinder& operator=(const NewFileFinder&) = delete;

  // RecordWatcher, on the verify's thread.
  void RecordBelow(std::string_view relative) override;
  void RecordsRead(const RecordsOrigin& origin) override;

  // Waits for the walk to end and returns what it found, in walk order.
  // Only after a verify with this finder as its watcher has returned. Raises
  // what the walk met that ends a job (a SystemFault).
  std::vector<NewFileFinding> Finish();

 private:
  using Key = std::array<std::uint8_t, 16>;
  struct KeyHash {
    std::size_t operator()(const Key& key) const;
  };
  static Key KeyOf(std::string_view relative);

  void Run();
  void Walk(const RecordsOrigin& origin);

  Env& env_;
  const std::string check_file_path_;
  const std::string base_folder_;
  // Written by the verify's thread until RecordsRead, read by the walk after
  // it: the mutex orders the two.
  std::unordered_set<Key, KeyHash> recorded_;
  Mutex mutex_;
  CondVar records_read_;
  std::optional<RecordsOrigin> origin_ GUARDED_BY(mutex_);
  std::atomic<bool> stopping_{false};  // set under mutex_, so a wait never misses it
  std::vector<NewFileFinding> found_;  // the walk's, taken by Finish after the join
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

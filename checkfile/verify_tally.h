// The verifier's counters and lists, and the summary it ends a run with.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "checkfile/job_sink.h"

namespace quillora {

// How the records of one run turned out. 64-bit, so no count of records can
// wrap around.
struct VerifyCounts {
  std::int64_t unchanged = 0;
  std::int64_t changed = 0;
  std::int64_t lost = 0;
  std::int64_t unopenable = 0;

  std::int64_t total() const { return unchanged + changed + lost + unopenable; }
  // True when every record was unchanged (also when there was none).
  bool all_ok() const { return changed == 0 && lost == 0 && unopenable == 0; }
};

// The count line: the total, the lost and unopenable counts when not 0, and
// the changed count always, each with its singular or plural text; it ends
// with a blank. "3 files were verified. 1 file did not exist. 0 file changed. "
std::string CountLine(const VerifyCounts& counts);

// A list of paths in the order they were added, packed into one buffer so
// that a million entries cost their bytes and one offset each.
class PathList {
 public:
  void Add(std::string_view path);
  std::size_t size() const { return ends_.size(); }
  std::string_view operator[](std::size_t index) const;

 private:
  std::string bytes_;
  std::vector<std::size_t> ends_;
};

// Counts the verdicts of a run and remembers the paths of every finding.
// Paths are stored as given (the verifier passes them relative to the base
// folder, to save memory) and reported with a prefix.
class VerifyTally {
 public:
  void AddUnchanged() { ++counts_.unchanged; }
  void AddChanged(std::string_view path);
  void AddLost(std::string_view path);
  void AddUnopenable(std::string_view path);

  const VerifyCounts& counts() const { return counts_; }

  // Reports the end of a run: an empty line, "Operation completes.", the
  // count line, then for each non-empty list in the order changed, lost,
  // unopenable an empty line, its heading and its paths (prefix + path).
  void ReportSummary(JobSink& sink, std::string_view prefix) const;

 private:
  VerifyCounts counts_;
  PathList changed_, lost_, unopenable_;
};

}  // namespace quillora

#include "checkfile/verify_tally.h"

namespace quillora {
namespace {

void ReportList(JobSink& sink, std::string_view heading, const PathList& list, std::string_view prefix) {
  if (list.size() == 0) return;
  sink.Line("");
  sink.Line(heading);
  std::string line;
  for (std::size_t i = 0; i < list.size(); ++i) {
    line.assign(prefix);
    line += list[i];
    sink.Line(line);
  }
}

}  // namespace

std::string CountLine(const VerifyCounts& counts) {
  const std::int64_t total = counts.total();
  std::string line = std::to_string(total) + (total <= 1 ? " file was verified. " : " files were verified. ");
  if (counts.lost > 0)
    line += std::to_string(counts.lost) + (counts.lost == 1 ? " file did not exist. " : " files did not exist. ");
  if (counts.unopenable > 0)
    line += std::to_string(counts.unopenable) +
            (counts.unopenable == 1 ? " file could not be opened. " : " files could not be opened. ");
  line += std::to_string(counts.changed) + (counts.changed >= 2 ? " files changed. " : " file changed. ");
  return line;
}

void PathList::Add(std::string_view path) {
  bytes_ += path;
  ends_.push_back(bytes_.size());
}

std::string_view PathList::operator[](std::size_t index) const {
  const std::size_t begin = index == 0 ? 0 : ends_[index - 1];
  return std::string_view(bytes_).substr(begin, ends_[index] - begin);
}

void VerifyTally::AddChanged(std::string_view path) {
  ++counts_.changed;
  changed_.Add(path);
}

void VerifyTally::AddLost(std::string_view path) {
  ++counts_.lost;
  lost_.Add(path);
}

void VerifyTally::AddUnopenable(std::string_view path) {
  ++counts_.unopenable;
  unopenable_.Add(path);
}

void VerifyTally::ReportSummary(JobSink& sink, std::string_view prefix) const {
  sink.Line("");
  sink.Line("Operation completes.");
  sink.Line(CountLine(counts_));
  ReportList(sink, "The following files have been changed since the check file was made:", changed_, prefix);
  ReportList(sink, "The following files are lost:", lost_, prefix);
  ReportList(sink, "The following files could not be opened during the MD5 checksum calculation:", unopenable_,
             prefix);
}

}  // namespace quillora

#include "checkfile/verify_tally.h"

#include <algorithm>

namespace quillora {
namespace {

void ReportList(ResultSink& sink, std::string_view heading, const PathList& list, std::string_view prefix) {
  if (list.size() == 0) return;
  sink.SummaryLine("");
  sink.SummaryLine(heading);
  list.ForEach(prefix, [&sink](std::string_view path) { sink.SummaryLine(path); });
}

}  // namespace

// "2 of them look like SHA256 records." for a tag, "1 of them looks like a
// record of a 256-bit digest." for a size, "1 of them is a record of MD4, a
// digest not computed here." for a digest this program lacks.
std::string LooksLikeLine(const UnreadKind& kind) {
  const std::int64_t count = kind.count;
  if (kind.why == UnreadWhy::kAfterEndMark) {
    return std::to_string(count) + " of them " + (count == 1 ? "follows" : "follow") +
           " the end-of-file mark (Ctrl-Z), after which no line is read.";
  }
  if (kind.why == UnreadWhy::kOutsideMessage) {
    return std::to_string(count) + " of them " + (count == 1 ? "lies" : "lie") +
           " outside the signed message, where anyone may add lines.";
  }
  if (kind.why == UnreadWhy::kLacked) {
    return std::to_string(count) + " of them " + (count == 1 ? "is a record of " : "are records of ") + kind.name +
           ", a digest not computed here.";
  }
  const bool tag = !kind.name.ends_with("-bit");
  std::string line = std::to_string(count) + " of them " + (count == 1 ? "looks like a " : "look like ");
  if (tag) {
    line.append(kind.name).append(count == 1 ? " record." : " records.");
  } else {
    line.append(count == 1 ? "record of a " : "records of a ").append(kind.name).append(" digest.");
  }
  return line;
}

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

void PathList::Add(std::string full_path, bool own_path) {
  if (own_path || full_path.size() >= kOwnStringFrom) {
    own_at_.push_back(ends_.size());
    own_.push_back(std::move(full_path));
    ends_.push_back(bytes_.size());
    return;
  }
  bytes_.append(std::string_view(full_path).substr(std::min(prefix_length_, full_path.size())));
  ends_.push_back(bytes_.size());
}

void VerifyTally::Add(Verdict verdict, std::string full_path, bool own_path) {
  switch (verdict) {
    case Verdict::kOk:
      ++counts_.unchanged;
      break;
    case Verdict::kChanged:
      ++counts_.changed;
      changed_.Add(std::move(full_path), own_path);
      break;
    case Verdict::kLost:
      ++counts_.lost;
      lost_.Add(std::move(full_path), own_path);
      break;
    case Verdict::kUnopenable:
      ++counts_.unopenable;
      unopenable_.Add(std::move(full_path), own_path);
      break;
  }
}

void ReportUnreadLines(ResultSink& sink, const CheckFileReader& reader) {
  const std::int64_t count = reader.unread_lines();
  if (count == 0) return;
  sink.SummaryLine("");
  sink.SummaryLine(count == 1 ? "1 line of the check file was not read as a record."
                              : std::to_string(count) + " lines of the check file were not read as records.");
  for (const UnreadKind& kind : reader.unread_kinds()) sink.SummaryLine(LooksLikeLine(kind));
  sink.SummaryLine("");
  sink.SummaryLine("The following lines of the check file were not read:");
  const bool damaged = reader.layout() == CheckFileLayout::kQuillora;
  for (const UnreadLine& line : reader.first_unread()) sink.LineNotRead(line.number, damaged);
  const auto more = count - static_cast<std::int64_t>(reader.first_unread().size());
  if (more > 0) sink.SummaryLine("... and " + std::to_string(more) + (more == 1 ? " more line" : " more lines"));
}

void VerifyTally::ReportSummary(ResultSink& sink, const std::vector<std::string>& about_records,
                                std::string_view digest_name) const {
  sink.SummaryBegins();
  sink.SummaryLine("Operation completes.");
  sink.SummaryLine(CountLine(counts_));
  for (const std::string& line : about_records) sink.SummaryLine(line);
  // Bare totals of nothing would read like a pass.
  if (counts_.total() == 0)
    sink.SummaryLine(counts_.missing_ignored > 0 ? "No recorded file exists." : "The check file holds no record.");
  ReportList(sink, "The following files have been changed since the check file was made:", changed_, base_);
  ReportList(sink, "The following files are lost:", lost_, base_);
  ReportList(sink,
             "The following files could not be opened during the " + std::string(digest_name) +
                 " checksum calculation:",
             unopenable_, base_);
}

}  // namespace quillora

#include "checkfile/result_sink.h"

#include "digests/file_texts.h"
#include "digests/folder_scan.h"

namespace quillora {
namespace {

// Above this size a path is quoted in place rather than copied (the reader
// leaves it room): a record with a path of a gigabyte must not cost two.
constexpr std::size_t kQuoteInPlaceFrom = 64 * 1024;

}  // namespace

std::string_view FileStatusText(FileStatus status) {
  switch (status) {
    case FileStatus::kOk: return "OK";
    case FileStatus::kCouldNotOpen: return kCouldNotOpenFile;
    case FileStatus::kNameNotRecordable: return kNameCannotBeRecorded;
  }
  return "";
}

std::string_view VerdictLead(Verdict verdict) {
  switch (verdict) {
    case Verdict::kOk: return "OK ... ";
    case Verdict::kChanged: return "File changed ... ";
    case Verdict::kLost: return "File does not exist ... ";
    case Verdict::kUnopenable: return "Could not open file ... ";
  }
  return "";
}

void ResultSink::FolderEntered(std::string_view full_path) {
  Line("Processing folder \"" + std::string(full_path) + "\" ...");
}

void ResultSink::FileDone(std::string_view name, FileStatus status) {
  std::string line = "Processing file \"";
  line.append(name).append("\" ... ").append(FileStatusText(status));
  Line(line);
}

void ResultSink::VerdictOn(Verdict verdict, std::string& full_path, int) {
  const std::string_view lead = VerdictLead(verdict);
  const std::size_t around = lead.size() + 2;
  if (full_path.size() >= kQuoteInPlaceFrom && full_path.capacity() - full_path.size() >= around) {
    full_path.insert(0, std::string(lead) + '"');
    full_path += '"';
    Line(full_path);
    full_path.pop_back();
    full_path.erase(0, lead.size() + 1);
    return;
  }
  std::string line;
  line.reserve(full_path.size() + around);
  line.append(lead).append(1, '"').append(full_path).append(1, '"');
  Line(line);
}

void ResultSink::SummaryBegins() { Line(""); }

void ResultSink::SummaryLine(std::string_view text) { Line(text); }

void ResultSink::NewFile(std::string_view full_path) { Line("New file ... \"" + std::string(full_path) + "\""); }

void ResultSink::LineNotRead(std::int64_t number, bool) { Line("Line " + std::to_string(number)); }

void ResultSink::UnreadLineMet(std::int64_t) {}

}  // namespace quillora

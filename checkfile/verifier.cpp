#include "checkfile/verifier.h"

#include <algorithm>
#include <memory>

#include "checkfile/check_file_format.h"
#include "checkfile/check_file_reader.h"
#include "md5/md5.h"

namespace quillora {
namespace {

bool IsBlankOrControl(char ch) { return static_cast<unsigned char>(ch) <= 32; }

void ReportVerdict(JobSink& sink, std::string_view lead, const std::string& full_path) {
  std::string line;
  line.reserve(lead.size() + full_path.size() + 2);
  line += lead;
  line += '"';
  line += full_path;
  line += '"';
  sink.Line(line);
  sink.Pump();
}

}  // namespace

VerifyInput CheckVerifyInput(Env& env, const std::string& path_text) {
  if (std::all_of(path_text.begin(), path_text.end(), IsBlankOrControl)) return VerifyInput::kNoCheckFile;
  if (!env.FileExists(path_text)) return VerifyInput::kCheckFileMissing;
  return VerifyInput::kReady;
}

std::string_view VerifyInputMessage(VerifyInput input) {
  switch (input) {
    case VerifyInput::kNoCheckFile: return "Please select or drag-and-drop a check file firstly.";
    case VerifyInput::kCheckFileMissing: return "The check file does not exist.";
    case VerifyInput::kReady: break;
  }
  return "";
}

std::string BaseFolderOf(const std::string& check_file_path) {
  const auto separator = check_file_path.rfind(kPathSeparator);
  if (separator == std::string::npos) return std::string(".") + kPathSeparator;
  return check_file_path.substr(0, separator + 1);
}

VerifyCounts VerifyCheckFile(Env& env, const std::string& check_file_path, JobSink& sink) {
  const std::string base = BaseFolderOf(check_file_path);
  std::unique_ptr<Stream> input = env.OpenTextForReading(check_file_path);
  CheckFileReader reader(*input);
  VerifyTally tally;
  CheckRecord record;
  std::string full_path;
  while (reader.Next(record)) {
    const std::string relative = FromCheckFilePath(record.relative_path);
    full_path.assign(base).append(relative);
    if (!env.FileExists(full_path)) {
      tally.AddLost(relative);
      ReportVerdict(sink, "File does not exist ... ", full_path);
    } else if (!env.IsReadableFile(full_path)) {
      tally.AddUnopenable(relative);
      ReportVerdict(sink, "Could not open file ... ", full_path);
    } else if (LowerAscii(FileDigestText(full_path, env)) == LowerAscii(record.digest_text)) {
      tally.AddUnchanged();
      ReportVerdict(sink, "OK ... ", full_path);
    } else {
      tally.AddChanged(relative);
      ReportVerdict(sink, "File changed ... ", full_path);
    }
  }
  input.reset();
  tally.ReportSummary(sink, base);
  return tally.counts();
}

}  // namespace quillora

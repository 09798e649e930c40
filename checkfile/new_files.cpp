#include "checkfile/new_files.h"

#include <optional>
#include <unordered_set>

#include "checkfile/check_file_format.h"
#include "checkfile/check_file_input.h"
#include "checkfile/check_file_reader.h"
#include "checkfile/verifier.h"
#include "digests/folder_scan.h"
#include "platform/errors.h"
#include "platform/paths.h"

namespace quillora {
namespace {

// A recorded path as the walk spells it: md5sum's files often name
// "./a.txt", which verifies as "a.txt" and so must not make it new. Empty
// and "." parts go; ".." stays, since it may lead out and back in.
std::string WithoutDotSegments(const std::string& path) {
  std::string spelled;
  spelled.reserve(path.size());
  for (std::size_t at = 0; at <= path.size();) {
    std::size_t end = path.find(kPathSeparator, at);
    if (end == std::string::npos) end = path.size();
    const std::string_view part(path.data() + at, end - at);
    if (!part.empty() && part != ".") {
      if (!spelled.empty()) spelled += kPathSeparator;
      spelled += part;
    }
    at = end + 1;
  }
  return spelled;
}

// Whether the check file at check_file_path lies in the folder base, which
// the finder lists anyway: a folder named another way ("." and its full
// path) is still the same.
bool CheckFileLiesIn(Env& env, const std::string& check_file_path, const std::string& base) {
  try {
    return env.ListFolder(FolderOf(env.FinalTarget(check_file_path)))->id() == env.ListFolder(base)->id();
  } catch (const SystemError&) {
    return false;  // a folder that cannot be listed is never scanned
  }
}

}  // namespace

NewFileFinder::NewFileFinder(Env& env, const std::string& check_file_path, const std::string& base_folder,
                             DigestSet fixed)
    : thread_([this, &env, check_file_path, base_folder, fixed] { Run(env, check_file_path, base_folder, fixed); }) {}

NewFileFinder::~NewFileFinder() {
  if (thread_.joinable()) thread_.join();
}

void NewFileFinder::Run(Env& env, const std::string& check_file_path, const std::string& base_folder,
                        DigestSet fixed) {
  try {
    // The verifier's own base: the folder of the file itself, unless a
    // folder is given.
    CheckFileInput input = OpenCheckFile(env, check_file_path);
    const std::string base = base_folder.empty() ? input.base : WithTrailingSeparator(base_folder);
    std::unordered_set<std::string> recorded;
    CheckFileLayout layout;
    std::optional<DigestId> digest;  // of the first record: what a make of this check file writes
    {
      CheckFileReader reader(*input.stream, {}, ReadingRules{input.name, fixed});
      CheckRecord record;
      while (reader.Next(record)) {
        if (!digest && !record.digests.empty()) digest = *record.digests.front().candidates.begin();
        if (!record.absolute) {
          recorded.insert(WithoutDotSegments(record.path));
        } else if (record.path.starts_with(base)) {
          recorded.insert(WithoutDotSegments(record.path.substr(base.size())));
        }
      }
      layout = reader.layout();
      input.stream.reset();
    }
    // Given a folder of its own, the check file may lie elsewhere, and a file
    // of its name there is as new as any. Its name as it stands in its folder.
    const std::string check_file_name = base_folder.empty() || CheckFileLiesIn(env, check_file_path, base)
                                            ? input.name
                                            : "";
    // What a make of this layout would record and pass over.
    const ScanRules rules = ScanRulesFor(WrittenLayout(layout, digest.value_or(DigestId::kMd5)));
    FolderScan scan(env, base, /*into_sub_folders=*/true, rules.can_record, rules.also_passed_over);
    ScanEntry entry;
    while (scan.Next(entry)) {
      switch (entry.kind) {
        case ScanEntry::Kind::kPassedOver:
        case ScanEntry::Kind::kFolder:
          break;
        case ScanEntry::Kind::kUnlistableFolder:
        case ScanEntry::Kind::kUnlookable:
          ThrowIfSystemFault(entry);  // it would hide what is new below it
          found_.push_back({entry.file.path, SystemErrorMessage(entry.error)});
          break;
        case ScanEntry::Kind::kUnrecordableName:
          found_.push_back({entry.file.path, std::string(kNameCannotBeRecorded)});
          break;
        case ScanEntry::Kind::kFile: {
          if (entry.relative == check_file_name || recorded.contains(entry.relative)) break;
          // Only a file a make would record is new; the readability test is
          // what a make's digest would find first.
          const int error = ReadabilityError(env, entry.file.path);
          if (!TellsOfTheEntry(error) && error != 0)
            throw SystemFault(SystemFault::Object::kFile, entry.file.path, error);
          found_.push_back({base + entry.relative, error == 0 ? std::string() : SystemErrorMessage(error)});
          break;
        }
      }
    }
  } catch (...) {
    error_ = std::current_exception();
  }
}

std::vector<NewFileFinding> NewFileFinder::Finish() {
  if (thread_.joinable()) thread_.join();
  if (error_) std::rethrow_exception(error_);
  return std::move(found_);
}

std::size_t ReportNewFiles(ResultSink& sink, const std::vector<NewFileFinding>& findings) {
  sink.SummaryLine("");
  std::size_t count = 0;
  for (const NewFileFinding& finding : findings) {
    if (finding.is_new()) {
      sink.NewFile(finding.path);
      ++count;
    } else {
      sink.LeftOut(finding.path, finding.reason);
    }
  }
  sink.SummaryLine(NewFilesLine(count));
  return count;
}

std::string NewFilesLine(std::size_t count) {
  return std::to_string(count) + (count == 1 ? " new file was found." : " new files were found.");
}

}  // namespace quillora

#include "checkfile/new_files.h"

#include <cstring>

#include "checkfile/check_file_format.h"
#include "digests/folder_scan.h"
#include "md5/md5.h"
#include "platform/errors.h"
#include "platform/paths.h"
#include "platform/wide_text.h"

namespace quillora {
namespace {

// The parts of a recorded path as the walk spells it: md5sum's files often
// name "./a.txt", which verifies as "a.txt" and so must not make it new.
// Empty and "." parts go; ".." stays, since it may lead out and back in.
template <class Each>
void ForEachPart(std::string_view path, Each each) {
  for (std::size_t at = 0; at <= path.size();) {
    std::size_t end = at;
    while (end < path.size() && !IsSeparator(path[end])) ++end;
    const std::string_view part = path.substr(at, end - at);
    if (!part.empty() && part != ".") each(part);
    at = end + 1;
  }
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

NewFileFinder::NewFileFinder(Env& env, const std::string& check_file_path, const std::string& base_folder)
    : env_(env), check_file_path_(check_file_path), base_folder_(base_folder), thread_([this] { Run(); }) {}

NewFileFinder::~NewFileFinder() {
  {
    MutexLock lock(mutex_);
    stopping_ = true;
  }
  records_read_.NotifyAll();
  if (thread_.joinable()) thread_.join();
}

std::size_t NewFileFinder::KeyHash::operator()(const Key& key) const {
  std::size_t hash;
  std::memcpy(&hash, key.data(), sizeof hash);
  return hash;
}

// A name's MD5, as the file system compares names: a name differs from a
// recorded one only by finding another file than its record's, which takes
// a second preimage, not a chance collision.
// Fed part by part, so a long name is never copied whole (but to compare
// letter case aside, on Windows).
NewFileFinder::Key NewFileFinder::KeyOf(std::string_view relative) {
  DigestState state;
  StartDigest(state);
  bool first = true;
  ForEachPart(relative, [&](std::string_view part) {
    if (!first) FeedDigest(state, &kPathSeparator, 1);
    first = false;
    if constexpr (kNativePaths.slash_separates) {
      const std::string folded = ComparableName(part);
      FeedDigest(state, folded.data(), folded.size());
    } else {
      FeedDigest(state, part.data(), part.size());
    }
  });
  return FinishDigest(state);
}

void NewFileFinder::RecordBelow(std::string_view relative) { recorded_.insert(KeyOf(relative)); }

void NewFileFinder::RecordsRead(const RecordsOrigin& origin) {
  {
    MutexLock lock(mutex_);
    origin_ = origin;
  }
  records_read_.NotifyAll();
}

void NewFileFinder::Run() {
  RecordsOrigin origin;
  {
    MutexLock lock(mutex_);
    while (!stopping_ && !origin_) records_read_.Wait(mutex_);
    if (stopping_) return;
    origin = *origin_;
  }
  try {
    Walk(origin);
  } catch (...) {
    error_ = std::current_exception();
  }
}

void NewFileFinder::Walk(const RecordsOrigin& origin) {
  const std::string& base = origin.base;
  // Given a folder of its own, the check file may lie elsewhere, and a file
  // of its name there is as new as any.
  const bool own_check_file = base_folder_.empty() || CheckFileLiesIn(env_, check_file_path_, base);
  const std::string check_file_key = own_check_file && !origin.check_file_name.empty()
                                         ? ComparableName(origin.check_file_name)
                                         : std::string();
  // What a make of this layout would record and pass over.
  const ScanRules rules = ScanRulesFor(origin.written);
  FolderScan scan(env_, base, /*into_sub_folders=*/true, rules.can_record, rules.also_passed_over);
  ScanEntry entry;
  while (scan.Next(entry)) {
    if (stopping_) return;
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
        if ((!check_file_key.empty() && ComparableName(entry.relative) == check_file_key) ||
            recorded_.contains(KeyOf(entry.relative)))
          break;
        // Only a file a make would record is new; the readability test is
        // what a make's digest would find first.
        const int error = ReadabilityError(env_, entry.file.path);
        if (!TellsOfTheEntry(error) && error != 0)
          throw SystemFault(SystemFault::Object::kFile, entry.file.path, error);
        found_.push_back({base + entry.relative, error == 0 ? std::string() : SystemErrorMessage(error)});
        break;
      }
    }
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

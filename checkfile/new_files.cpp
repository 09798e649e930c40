#include "checkfile/new_files.h"

#include <algorithm>

#include "checkfile/check_file_format.h"
#include "checkfile/check_file_reader.h"
#include "checkfile/verifier.h"
#include "md5/file_texts.h"
#include "platform/folder_walk.h"
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

}  // namespace

NewFileFinder::NewFileFinder(Env& env, const std::string& check_file_path)
    : thread_([this, &env, check_file_path] { Run(env, check_file_path); }) {}

NewFileFinder::~NewFileFinder() {
  if (thread_.joinable()) thread_.join();
}

void NewFileFinder::Run(Env& env, const std::string& check_file_path) {
  try {
    const std::string base = BaseFolderOf(check_file_path);
    std::unordered_set<std::string> recorded;
    bool pass_over_md5sums = false;
    {
      std::unique_ptr<Stream> input = env.OpenTextForReading(check_file_path);
      CheckFileReader reader(*input);
      CheckRecord record;
      while (reader.Next(record)) recorded.insert(WithoutDotSegments(record.relative_path));
      // The maker of an md5sum-layout file passes over every MD5SUMS, as it
      // passes over every CheckSum.md5.
      pass_over_md5sums = reader.layout() == CheckFileLayout::kMd5sum;
    }
    const std::string check_file_name = NameOf(check_file_path);
    FolderWalk walk(env, base, /*into_sub_folders=*/true);
    WalkEntry entry;
    while (walk.Next(entry)) {
      if (entry.kind == EntryKind::kFolder || entry.name == kCheckFileName || IsCheckFileTemp(entry.name) ||
          (pass_over_md5sums && entry.name == kMd5sumsFileName))
        continue;
      const std::string relative = entry.path.substr(std::min(base.size(), entry.path.size()));
      if (relative == check_file_name || recorded.contains(relative)) continue;
      found_.push_back(base + relative);
    }
  } catch (...) {
    error_ = std::current_exception();
  }
}

std::vector<std::string> NewFileFinder::Finish() {
  if (thread_.joinable()) thread_.join();
  if (error_) std::rethrow_exception(error_);
  return std::move(found_);
}

void ReportNewFiles(JobSink& sink, const std::vector<std::string>& paths) {
  sink.Line("");
  for (const std::string& path : paths) sink.Line("New file ... \"" + path + "\"");
  sink.Line(std::to_string(paths.size()) + (paths.size() == 1 ? " new file was found." : " new files were found."));
}

}  // namespace quillora

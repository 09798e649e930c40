#include "checkfile/maker.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "checkfile/check_file_format.h"
#include "md5/md5.h"
#include "platform/errors.h"

namespace quillora {
namespace {

bool IsBlankOrControl(char ch) { return static_cast<unsigned char>(ch) <= 32; }

std::string NameOf(const std::string& path) {
  const auto separator = path.rfind(kPathSeparator);
  return separator == std::string::npos ? path : path.substr(separator + 1);
}

// One make's walk. Holds the open check file and the folders on the way down.
class CheckFileWalk {
 public:
  CheckFileWalk(Env& env, JobSink& sink, ReplacingFile& out)
      : env_(env), sink_(sink), out_(out), temp_name_(NameOf(out.temp_path())) {}

  // Scans one folder: records its files and, with the flag, its sub-folders'
  // files at the place where each sub-folder is met. relative_prefix is the
  // folder's native path below the top folder, with a trailing separator
  // ("" for the top folder itself).
  void AddFolderToCheckFile(const std::string& folder, const std::string& relative_prefix, bool include_subfolders) {
    std::string base = folder;
    if (!base.empty() && base.back() == kPathSeparator) base.pop_back();
    auto listing = env_.ListFolder(base.empty() ? std::string(1, kPathSeparator) : base);
    if (!listing) return;
    // A link that leads back to a folder we are inside would never end.
    if (std::find(ancestors_.begin(), ancestors_.end(), listing->id()) != ancestors_.end()) return;
    ancestors_.push_back(listing->id());

    FolderEntry entry;
    while (listing->Next(entry)) {
      sink_.Pump();
      const std::string full = base + kPathSeparator + entry.name;
      if (entry.kind == EntryKind::kFolder) {
        if (!include_subfolders) continue;
        sink_.Line("Processing folder \"" + full + "\" ...");
        AddFolderToCheckFile(full, relative_prefix + entry.name + kPathSeparator, include_subfolders);
        continue;
      }
      if (entry.name == kCheckFileName) continue;
      // Our own unfinished check file lies in the top folder; it is never a record.
      if (relative_prefix.empty() && entry.name == temp_name_) continue;
      const std::string_view status = AddFile(full, relative_prefix + entry.name);
      sink_.Line("Processing file \"" + entry.name + "\" ... " + std::string(status));
    }
    ancestors_.pop_back();
  }

 private:
  std::string_view AddFile(const std::string& full, const std::string& relative) {
    if (!env_.IsReadableFile(full) || !CanRecordRelativePath(relative)) return kCouldNotOpenFile;
    std::string digest;
    try {
      digest = LowerAscii(FileDigestText(full, env_));
    } catch (const Error&) {
      // Opened by another program meanwhile, or a read failed part way: the
      // file is reported rather than left out in silence.
      return kCouldNotOpenFile;
    }
    // A failed write is not this file's problem but the whole check file's:
    // it passes through and ends the make.
    out_.Append(CheckFileRecordLine(digest, ToCheckFilePath(relative)));
    return "OK";
  }

  Env& env_;
  JobSink& sink_;
  ReplacingFile& out_;
  const std::string temp_name_;
  std::vector<FolderId> ancestors_;
};

}  // namespace

MakeInput CheckMakeInput(Env& env, const std::string& folder_text) {
  if (std::all_of(folder_text.begin(), folder_text.end(), IsBlankOrControl)) return MakeInput::kNoFolder;
  if (!env.FolderExists(folder_text)) return MakeInput::kFolderMissing;
  return MakeInput::kReady;
}

std::string_view MakeInputMessage(MakeInput input) {
  switch (input) {
    case MakeInput::kNoFolder: return "Please select or drag-and-drop a folder firstly.";
    case MakeInput::kFolderMissing: return "The folder does not exist.";
    case MakeInput::kReady: break;
  }
  return "";
}

std::string CheckFilePathFor(const std::string& folder_text) {
  std::string path = folder_text;
  if (path.empty() || path.back() != kPathSeparator) path += kPathSeparator;
  path += kCheckFileName;
  return path;
}

std::string MakeCheckFile(Env& env, const std::string& folder_text, bool include_subfolders, JobSink& sink) {
  const std::string check_file_path = CheckFilePathFor(folder_text);
  std::unique_ptr<ReplacingFile> out = env.CreateReplacing(check_file_path);
  out->Append(CheckFileHeader(env.Now(), env.TimeSeparator()));

  CheckFileWalk walk(env, sink, *out);
  const std::string folder = check_file_path.substr(0, check_file_path.size() - kCheckFileName.size());
  walk.AddFolderToCheckFile(folder, "", include_subfolders);
  out->Commit();

  sink.Line("");
  sink.Line("Operation completed.");
  sink.Line("The MD5 checksum file is save at \"" + check_file_path + "\"");
  return check_file_path;
}

}  // namespace quillora

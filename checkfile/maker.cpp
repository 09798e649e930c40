#include "checkfile/maker.h"

#include <algorithm>
#include <memory>

#include "checkfile/check_file_format.h"
#include "checkfile/input_text.h"
#include "md5/ahead_queue.h"
#include "md5/md5.h"
#include "platform/folder_walk.h"
#include "platform/errors.h"
#include "platform/paths.h"

namespace quillora {
namespace {

// One entry of the make's walk, and what the report does with it.
struct MakeItem {
  enum class Kind {
    kPassedOver,  // a check file, a check file's temporary file, or a folder without the flag
    kFolder,      // a sub-folder: its folder line
    kFile,        // a file to digest and record
    kUnrecordable,  // a file whose name cannot stand in a check file
  };
  Kind kind = Kind::kPassedOver;
  WalkEntry entry;
  std::string relative;  // native path below the top folder
};

const std::string* DigestPathOf(const MakeItem& item) {
  return item.kind == MakeItem::Kind::kFile ? &item.entry.path : nullptr;
}

// The walk of one make, depth first in listing order: it classifies each
// entry so that files can be digested ahead while earlier lines are reported.
class MakeSource {
 public:
  MakeSource(Env& env, const std::string& top_folder, bool include_subfolders)
      : walk_(env, top_folder, include_subfolders),
        top_length_(top_folder.size()),
        include_subfolders_(include_subfolders) {}

  int root_error() const { return walk_.root_error(); }

  bool Next(MakeItem& item) {
    if (!walk_.Next(item.entry)) return false;
    const WalkEntry& entry = item.entry;
    item.relative = entry.path.substr(std::min(top_length_, entry.path.size()));
    if (entry.kind == EntryKind::kFolder) {
      item.kind = include_subfolders_ ? MakeItem::Kind::kFolder : MakeItem::Kind::kPassedOver;
    } else if (entry.name == kCheckFileName || IsCheckFileTemp(entry.name)) {
      // Our own unfinished check file, or one a killed make left behind.
      item.kind = MakeItem::Kind::kPassedOver;
    } else if (!CanRecordRelativePath(item.relative)) {
      item.kind = MakeItem::Kind::kUnrecordable;
    } else {
      item.kind = MakeItem::Kind::kFile;
    }
    return true;
  }

 private:
  FolderWalk walk_;
  std::size_t top_length_;
  bool include_subfolders_;
};

// Scans the top folder and, with the flag, every sub-folder at the place it
// is met: a folder line per sub-folder, a file line per file, a record per
// file digested. A failed write to the check file is not one file's problem
// but the whole make's: it passes through.
void AddFolderToCheckFile(Env& env, const std::string& top_folder, bool include_subfolders, ReplacingFile& out,
                          JobSink& sink, unsigned jobs) {
  MakeSource source(env, top_folder, include_subfolders);
  if (const int error = source.root_error())
    sink.LeftOut(WithoutTrailingSeparator(top_folder), SystemErrorMessage(error));
  AheadQueue<MakeItem> queue(env, jobs, [&](MakeItem& item) { return source.Next(item); }, DigestPathOf);
  const auto keep_alive = [&sink] { sink.KeepAlive(); };
  MakeItem item;
  while (queue.Next(item)) {
    sink.Pump();
    switch (item.kind) {
      case MakeItem::Kind::kPassedOver:
        break;
      case MakeItem::Kind::kFolder:
        sink.Line("Processing folder \"" + item.entry.path + "\" ...");
        if (item.entry.list_error != 0) sink.LeftOut(item.entry.path, SystemErrorMessage(item.entry.list_error));
        break;
      case MakeItem::Kind::kUnrecordable:
        sink.Line("Processing file \"" + item.entry.name + "\" ... " + std::string(kCouldNotOpenFile));
        sink.LeftOut(item.entry.path, "Name cannot be written in a check file");
        break;
      case MakeItem::Kind::kFile: {
        const AheadOutcome outcome = queue.Outcome(keep_alive);
        if (outcome.fault) std::rethrow_exception(outcome.fault);
        // A file another program holds, or one whose read failed part way,
        // is reported rather than left out in silence.
        std::string_view status = kCouldNotOpenFile;
        if (outcome.digested()) {
          out.Append(CheckFileRecordLine(outcome.digest, ToCheckFilePath(item.relative)));
          status = "OK";
        }
        sink.Line("Processing file \"" + item.entry.name + "\" ... " + std::string(status));
        if (!outcome.digested()) sink.LeftOut(item.entry.path, SystemErrorMessage(outcome.error));
        break;
      }
    }
  }
}

}  // namespace

MakeInput CheckMakeInput(Env& env, const std::string& folder_text) {
  if (NothingTyped(folder_text)) return MakeInput::kNoFolder;
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

std::string CheckFilePathFor(const std::string& folder_text) { return JoinPath(folder_text, kCheckFileName); }

std::string MakeCheckFile(Env& env, const std::string& folder_text, bool include_subfolders, JobSink& sink,
                          unsigned jobs) {
  const std::string check_file_path = CheckFilePathFor(folder_text);
  std::unique_ptr<ReplacingFile> out = env.CreateReplacing(check_file_path);
  out->Append(CheckFileHeader(env.Now(), env.TimeSeparator()));

  AddFolderToCheckFile(env, WithTrailingSeparator(folder_text), include_subfolders, *out, sink, jobs);
  out->Commit();

  sink.Line("");
  sink.Line("Operation completed.");
  sink.Line("The MD5 checksum file is save at \"" + check_file_path + "\"");
  return check_file_path;
}

}  // namespace quillora

#include "checkfile/maker.h"

#include <memory>

#include "checkfile/check_file_format.h"
#include "checkfile/input_text.h"
#include "digests/ahead_queue.h"
#include "digests/folder_scan.h"
#include "md5/md5.h"
#include "platform/errors.h"
#include "platform/descriptor_budget.h"
#include "platform/held_folders.h"
#include "platform/paths.h"

namespace quillora {
namespace {

// Scans the top folder and, with the flag, every sub-folder at the place it
// is met: a folder line per sub-folder, a file line per file, a record per
// file digested. A failed write to the check file is not one file's problem
// but the whole make's: it passes through.
void AddFolderToCheckFile(Env& env, const std::string& top_folder, bool include_subfolders, ReplacingFile& out,
                          ResultSink& sink, unsigned jobs, const WrittenLayout& layout) {
  const bool sums = layout.layout == CheckFileLayout::kMd5sum;
  const DescriptorBudget budget(env);
  HeldFolders held(env, budget);
  const ScanRules rules = ScanRulesFor(layout);
  FolderScan scan(env, top_folder, include_subfolders, rules.can_record, rules.also_passed_over, &held);
  AheadQueue<ScanEntry> queue(
      env, jobs, budget, [&](ScanEntry& entry) { return scan.Next(entry); },
      [digests = DigestSet{layout.digest}](const ScanEntry& entry) {
        DigestRequest request = ScanDigestPath(entry);
        request.digests = digests;
        return request;
      });
  const auto keep_alive = [&sink] { sink.KeepAlive(); };
  const std::string left_over = CommittingTempPrefix(CheckFileNameFor(layout));
  ScanEntry entry;
  while (queue.Next(entry)) {
    sink.Pump();
    switch (entry.kind) {
      case ScanEntry::Kind::kPassedOver:
        // What a make of this check file left when it was killed as it
        // committed: no longer passed over time and again.
        if (entry.relative == entry.name && entry.name.starts_with(left_over)) env.RemoveLeftOver(entry.file.path);
        break;
      case ScanEntry::Kind::kFolder:
        sink.FolderEntered(entry.file.path);
        break;
      case ScanEntry::Kind::kUnlistableFolder:
        // The folder made for cannot be left out of its own check file, and
        // a fault of the system is no fact of the folder: either would cut
        // records from the new check file in silence.
        if (entry.top) throw SystemFault(SystemFault::Object::kFolder, entry.file.path, entry.error);
        ThrowIfSystemFault(entry);
        sink.FolderEntered(entry.file.path);
        sink.LeftOut(entry.file.path, SystemErrorMessage(entry.error));
        break;
      case ScanEntry::Kind::kUnlookable:
        ThrowIfSystemFault(entry);
        sink.FileDone(entry.name, FileStatus::kCouldNotOpen);
        sink.LeftOut(entry.file.path, SystemErrorMessage(entry.error));
        break;
      case ScanEntry::Kind::kUnrecordableName:
        sink.FileDone(entry.name, FileStatus::kNameNotRecordable);
        sink.LeftOut(entry.file.path, kNameCannotBeRecorded);
        break;
      case ScanEntry::Kind::kFile: {
        const AheadOutcome outcome = queue.Outcome(keep_alive);
        ThrowIfSystemFault(outcome, entry.file.path);
        // A file another program holds, or one that changed while it was
        // read, is reported rather than left out in silence.
        if (outcome.digested()) {
          const std::string digest = outcome.text();
          out.Append(sums ? SumsRecordLine(layout, digest, entry.relative)
                          : CheckFileRecordLine(digest, ToCheckFilePath(entry.relative)));
        }
        sink.FileDone(entry.name, outcome.digested() ? FileStatus::kOk : FileStatus::kCouldNotOpen);
        if (!outcome.digested()) sink.LeftOut(entry.file.path, SystemErrorMessage(outcome.error));
        break;
      }
    }
  }
}

}  // namespace

MakeInput CheckMakeInput(Env& env, const std::string& folder_text, int* system_error) {
  bool folder = false;
  try {
    folder = !NothingTyped(folder_text) && env.FolderExists(folder_text);
    // A folder that can be written but not listed would get a check file
    // without a record, in place of a good one, and no word of why. The
    // listing also words why there is no folder.
    env.ListFolder(folder_text);
  } catch (const SystemError& e) {
    if (system_error != nullptr) *system_error = e.number();
    if (folder) return MakeInput::kFolderUnreadable;
  }
  if (NothingTyped(folder_text)) return MakeInput::kNoFolder;
  return folder ? MakeInput::kReady : MakeInput::kFolderMissing;
}

std::string_view MakeInputMessage(MakeInput input) {
  switch (input) {
    case MakeInput::kNoFolder: return "Please select or drag-and-drop a folder firstly.";
    case MakeInput::kFolderMissing: return "The folder does not exist.";
    case MakeInput::kFolderUnreadable: return "The folder cannot be read.";
    case MakeInput::kReady: break;
  }
  return "";
}

std::string CheckFilePathFor(const std::string& folder_text, const WrittenLayout& layout) {
  return JoinPath(folder_text, CheckFileNameFor(layout));
}

std::string MakeCheckFile(Env& env, const std::string& folder_text, bool include_subfolders, ResultSink& sink,
                          unsigned jobs, const WrittenLayout& layout) {
  const std::string check_file_path = CheckFilePathFor(folder_text, layout);
  std::unique_ptr<ReplacingFile> out = env.CreateReplacing(check_file_path);
  // md5sum's layout has no comments: md5sum -c would count them as improper.
  if (layout.layout == CheckFileLayout::kQuillora) out->Append(CheckFileHeader(env.Now(), env.TimeSeparator()));

  AddFolderToCheckFile(env, WithTrailingSeparator(folder_text), include_subfolders, *out, sink, jobs, layout);

  // The rename comes last, once every line is out: a run that cannot report
  // its lines has not replaced the old check file.
  sink.SummaryBegins();
  sink.SummaryLine("Operation completed.");
  // The window's text for MD5; another digest is named for what it is.
  sink.SummaryLine("The " + std::string(InfoOf(layout.digest).name) + " checksum file is save at \"" +
                   check_file_path + "\"");
  sink.Flush();
  out->Commit();
  return check_file_path;
}

}  // namespace quillora

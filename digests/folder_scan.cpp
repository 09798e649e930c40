#include "digests/folder_scan.h"

#include <algorithm>

#include "digests/passed_over.h"
#include "platform/paths.h"

namespace quillora {

FolderScan::FolderScan(Env& env, const std::string& top, bool into_sub_folders, CanRecordRule can_record,
                       std::string_view also_passed_over, HeldFolders* held)
    : walk_(env, top, into_sub_folders, held),
      top_(WithoutTrailingSeparator(top)),
      top_length_(WithTrailingSeparator(top).size()),
      into_sub_folders_(into_sub_folders),
      can_record_(can_record),
      also_passed_over_(also_passed_over),
      also_passed_over_temp_(also_passed_over.empty() ? std::string() : ReplacingTempPrefix(also_passed_over)) {}

void ThrowIfSystemFault(const ScanEntry& entry) {
  if (TellsOfTheEntry(entry.error)) return;
  throw SystemFault(entry.kind == ScanEntry::Kind::kUnlookable ? SystemFault::Object::kFile
                                                               : SystemFault::Object::kFolder,
                    entry.file.path, entry.error);
}

void ThrowIfSystemFault(const AheadOutcome& outcome, const std::string& path) {
  if (!outcome.digested() && !TellsOfTheEntry(outcome.error))
    throw SystemFault(SystemFault::Object::kFile, path, outcome.error);
}

bool FolderScan::Next(ScanEntry& entry) {
  if (!top_told_) {
    top_told_ = true;
    if (const int error = walk_.root_error()) {
      // A top folder that cannot be listed is told like one below it.
      entry = ScanEntry{};
      entry.kind = ScanEntry::Kind::kUnlistableFolder;
      entry.top = true;
      entry.name = NameOf(top_);
      entry.file = FileToOpen{top_};
      entry.error = error;
      return true;
    }
  }
  WalkEntry found;
  if (!walk_.Next(found)) return false;
  entry.top = false;
  entry.error = found.error;
  entry.relative = found.file.path.substr(std::min(top_length_, found.file.path.size()));
  entry.file = std::move(found.file);
  entry.name = std::move(found.name);
  if (found.kind == EntryKind::kFolder) {
    if (!into_sub_folders_) {
      entry.kind = ScanEntry::Kind::kPassedOver;
    } else {
      entry.kind = entry.error != 0 ? ScanEntry::Kind::kUnlistableFolder : ScanEntry::Kind::kFolder;
    }
  } else if (entry.name == kCheckFileName || IsCheckFileTemp(entry.name) ||
             (!also_passed_over_.empty() &&
              (entry.name == also_passed_over_ || entry.name.starts_with(also_passed_over_temp_)))) {
    // Our own unfinished check file, or one a killed make left behind.
    entry.kind = ScanEntry::Kind::kPassedOver;
  } else if (entry.error != 0) {
    entry.kind = ScanEntry::Kind::kUnlookable;
  } else if (can_record_ != nullptr && !can_record_(entry.relative)) {
    entry.kind = ScanEntry::Kind::kUnrecordableName;
  } else {
    entry.kind = ScanEntry::Kind::kFile;
  }
  return true;
}

}  // namespace quillora

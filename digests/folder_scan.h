// The one scan of a folder tree that the make, the list's folder scan and
// `verify --new` share: the walk, the names passed over, the relative path and
// what each entry is. Each job adds only what is its own (a line, a row, a
// record, a lookup in the records).
//
// The walk is platform/folder_walk.h's: depth first in listing order, the top
// folder followed when it is a link, a link to a folder met inside never
// entered. Its entries feed an AheadQueue (digests/ahead_queue.h), which digests
// the files named by ScanDigestPath ahead of the report.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "digests/outcome_queue.h"  // DigestRequest
#include "platform/env.h"
#include "platform/folder_walk.h"

namespace quillora {

struct ScanEntry {
  enum class Kind {
    // No line, no record, no row: a file named "CheckSum.md5" (letter case
    // counts), a temporary check file (IsCheckFileTemp), or a folder when the
    // scan does not go into sub-folders.
    kPassedOver,
    kFolder,            // a sub-folder, listed: its entries follow it
    kUnlistableFolder,  // a folder that cannot be listed (error says why); also the top folder, first
    kUnlookable,        // an entry whose kind could not be told: a file or a folder (error says why)
    kFile,              // a file to digest; its relative path can be recorded
    kUnrecordableName,  // a file whose relative path the check file cannot hold
  };
  Kind kind = Kind::kPassedOver;
  bool top = false;      // the top folder itself (only ever as kUnlistableFolder)
  std::string name;      // the entry's name alone
  // Its full path (the folder that lists it, a separator, the name), with
  // what a kFile's open needs (WalkEntry::file).
  FileToOpen file;
  std::string relative;  // its native path below the top folder
  int error = 0;         // kUnlistableFolder, kUnlookable: the system error number
};

// A rule for the relative paths a job can record; nullptr records any.
using CanRecordRule = bool (*)(std::string_view native_relative_path);

class FolderScan {
 public:
  // Scans top (one trailing separator ignored), into its sub-folders when
  // into_sub_folders. A file whose relative path fails can_record is
  // kUnrecordableName. Files named also_passed_over (when not empty), and
  // its temporary files, are passed over as "CheckSum.md5" is: the name of
  // the check file a job writes.
  // With held, a kFile's folder comes held open (ScanEntry::folder) for a
  // job that opens its files: see FolderWalk.
  FolderScan(Env& env, const std::string& top, bool into_sub_folders, CanRecordRule can_record = nullptr,
             std::string_view also_passed_over = {}, HeldFolders* held = nullptr);

  // The next entry in walk order; false at the end.
  bool Next(ScanEntry& entry);

 private:
  FolderWalk walk_;
  std::string top_;
  std::size_t top_length_;  // of top with its trailing separator
  bool into_sub_folders_;
  CanRecordRule can_record_;
  std::string also_passed_over_;
  std::string also_passed_over_temp_;  // the prefix of its temporary files' names
  bool top_told_ = false;
};

// What an AheadQueue digests for an entry: a kFile, else nothing.
inline DigestRequest ScanDigestPath(const ScanEntry& entry) {
  if (entry.kind != ScanEntry::Kind::kFile) return {};
  return {&entry.file};
}

// For an entry that could not be listed or looked at (kUnlistableFolder,
// kUnlookable): raises its SystemFault when its error is a fault of the
// system rather than a fact of the entry (TellsOfTheEntry). A job that left
// it out would leave what is below it out in silence.
void ThrowIfSystemFault(const ScanEntry& entry);

// The same for a file's outcome: a fault of the system (a read that failed,
// no descriptor or memory) raises its SystemFault naming path; what a file
// is (no permission, gone, held) is that file's to report.
void ThrowIfSystemFault(const AheadOutcome& outcome, const std::string& path);

// The reason a file whose name cannot be recorded is left out.
inline constexpr std::string_view kNameCannotBeRecorded = "Name cannot be recorded";

}  // namespace quillora

// A depth-first walk over a folder tree that can run ahead of whoever
// reports on it: the jobs' one scan (digests/folder_scan.h) meets the entries in
// exactly the order a recursive scan would, one entry at a time.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/env.h"
#include "platform/held_folders.h"

namespace quillora {

struct WalkEntry {
  std::string folder;  // the folder that lists it, without a trailing separator (but "/" for the root)
  std::string name;    // the entry's name alone
  // Its path, JoinPath(folder, name), with what opening it needs: for a file
  // the listing calls regular, listed_regular and its folder held open (see
  // FolderWalk), or null.
  FileToOpen file;
  EntryKind kind;
  // For a folder the walk was to enter: the system error number that kept it
  // from being listed, 0 when it was listed (or not to be entered). For an
  // entry that could not be looked at (FolderEntry::error): why.
  int error = 0;
};

class FolderWalk {
 public:
  // Walks root (one trailing separator ignored), following root itself when
  // it is a link. With into_sub_folders, each folder entry is followed by its
  // own entries before the walk goes on. A link to a folder met inside the
  // tree is passed over, neither yielded nor entered (as "find -H" walks);
  // a link to a file is yielded as a file. A folder that cannot be listed, or
  // is already being walked further up, yields nothing below it.
  //
  // Each folder's entries are read whole and its listing closed before the
  // walk goes below it, so the walk lists at most one folder at a time
  // whatever the depth. With held, a folder with regular files in it is held
  // open (within held's bound, which a job's walks share) while its entries
  // are in use, so that they open by their names alone.
  FolderWalk(Env& env, const std::string& root, bool into_sub_folders, HeldFolders* held = nullptr);
  ~FolderWalk();

  // The next entry in walk order; false at the end.
  bool Next(WalkEntry& entry);

  // The system error number that kept root from being listed, or 0.
  int root_error() const { return root_error_; }

 private:
  struct Level;
  int Open(const std::string& folder);  // the listing's error number, or 0

  Env& env_;
  HeldFolders* held_;
  bool into_sub_folders_;
  int root_error_ = 0;
  std::vector<Level> levels_;
};

}  // namespace quillora

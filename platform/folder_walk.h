// A depth-first walk over a folder tree that can run ahead of whoever
// reports on it: the list's folder scan and the check-file maker meet the
// entries in exactly the order a recursive scan would, one entry at a time.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/env.h"

namespace quillora {

struct WalkEntry {
  std::string folder;  // the folder that lists it, without a trailing separator
  std::string name;    // the entry's name alone
  std::string path;    // folder + separator + name
  EntryKind kind;
};

class FolderWalk {
 public:
  // Walks root (one trailing separator ignored). With into_sub_folders, each
  // folder entry is followed by its own entries before the walk goes on; a
  // folder that is already open further up (a link loop) or cannot be listed
  // yields nothing below it. A root that cannot be listed yields nothing.
  FolderWalk(Env& env, const std::string& root, bool into_sub_folders);
  ~FolderWalk();

  // The next entry in walk order; false at the end.
  bool Next(WalkEntry& entry);

 private:
  struct Level;
  void Open(const std::string& folder);

  Env& env_;
  bool into_sub_folders_;
  std::vector<Level> levels_;
};

}  // namespace quillora

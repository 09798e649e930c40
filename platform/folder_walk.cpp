#include "platform/folder_walk.h"

#include <algorithm>

namespace quillora {

struct FolderWalk::Level {
  std::string folder;
  std::unique_ptr<FolderListing> listing;
};

FolderWalk::FolderWalk(Env& env, const std::string& root, bool into_sub_folders)
    : env_(env), into_sub_folders_(into_sub_folders) {
  std::string folder = root;
  if (!folder.empty() && folder.back() == kPathSeparator) folder.pop_back();
  Open(folder);
}

FolderWalk::~FolderWalk() = default;

void FolderWalk::Open(const std::string& folder) {
  auto listing = env_.ListFolder(folder.empty() ? std::string(1, kPathSeparator) : folder);
  if (!listing) return;
  const FolderId id = listing->id();
  const bool loop = std::any_of(levels_.begin(), levels_.end(), [&](const Level& l) { return l.listing->id() == id; });
  if (loop) return;
  levels_.push_back(Level{folder, std::move(listing)});
}

bool FolderWalk::Next(WalkEntry& entry) {
  FolderEntry found;
  while (!levels_.empty()) {
    Level& level = levels_.back();
    if (!level.listing->Next(found)) {
      levels_.pop_back();
      continue;
    }
    entry.folder = level.folder;
    entry.path = level.folder + kPathSeparator + found.name;
    entry.name = std::move(found.name);
    entry.kind = found.kind;
    if (entry.kind == EntryKind::kFolder && into_sub_folders_) Open(entry.path);
    return true;
  }
  return false;
}

}  // namespace quillora

#include "platform/folder_walk.h"

#include <algorithm>

#include "platform/paths.h"

namespace quillora {

struct FolderWalk::Level {
  std::string folder;
  FolderId id;
  std::vector<FolderEntry> entries;
  std::size_t next = 0;
  std::shared_ptr<const FolderHandle> held;  // for its regular files
};

FolderWalk::FolderWalk(Env& env, const std::string& root, bool into_sub_folders, HeldFolders* held)
    : env_(env), held_(held), into_sub_folders_(into_sub_folders) {
  root_error_ = Open(WithoutTrailingSeparator(root));
}

FolderWalk::~FolderWalk() = default;

int FolderWalk::Open(const std::string& folder) {
  Level level{folder, {}, {}, 0, nullptr};
  try {
    auto listing = env_.ListFolder(folder);
    level.id = listing->id();
    FolderEntry entry;
    while (listing->Next(entry)) {
      // A link to a folder is never entered; dropping it here keeps it out of
      // every job alike.
      if (entry.kind == EntryKind::kFolder && entry.is_link) continue;
      level.entries.push_back(std::move(entry));
    }
  } catch (const SystemError& e) {
    return e.number();
  }
  // Links are not entered, but a bind mount can still bring a folder back
  // below itself.
  const bool again = std::any_of(levels_.begin(), levels_.end(), [&](const Level& l) { return l.id == level.id; });
  if (again) return 0;
  if (held_ != nullptr &&
      std::any_of(level.entries.begin(), level.entries.end(), [](const FolderEntry& e) { return e.regular; }))
    level.held = held_->Hold(folder);
  levels_.push_back(std::move(level));
  return 0;
}

bool FolderWalk::Next(WalkEntry& entry) {
  while (!levels_.empty()) {
    Level& level = levels_.back();
    if (level.next == level.entries.size()) {
      levels_.pop_back();
      continue;
    }
    FolderEntry& found = level.entries[level.next++];
    entry.folder = level.folder;
    entry.file.path = JoinPath(level.folder, found.name);
    entry.file.listed_regular = found.regular;
    entry.file.folder = found.regular ? level.held : nullptr;
    entry.file.name_at = entry.file.path.size() - found.name.size();
    entry.name = std::move(found.name);
    entry.kind = found.kind;
    entry.error = found.error;
    // Opening may move the levels; nothing of `level` is used after it.
    if (entry.kind == EntryKind::kFolder && into_sub_folders_) entry.error = Open(entry.file.path);
    return true;
  }
  return false;
}

}  // namespace quillora

// Folders held open so that their files open by their names alone
// (Env::HoldFolder), at most a bounded number at once: paths queued far ahead
// may span many folders, and each held folder takes a descriptor, which the
// files themselves need too (so no more than an eighth of what the process
// may open).
//
// Used from one thread, which alone copies and drops the handles it gives out:
// a handle nobody else holds any more is free again.
#pragma once

#include <algorithm>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "platform/env.h"

namespace quillora {

class HeldFolders {
 public:
  static constexpr std::size_t kMaxHeld = 256;

  explicit HeldFolders(Env& env) : env_(env), max_held_(std::min(kMaxHeld, OpenFilesAllowed() / 8)) {}

  // folder held open, or null while kMaxHeld are still in use (or it cannot
  // be held): its files then open by their whole paths.
  std::shared_ptr<const FolderHandle> Hold(const std::string& folder) {
    std::erase_if(held_, [](const std::shared_ptr<const FolderHandle>& handle) { return handle.use_count() == 1; });
    if (held_.size() >= max_held_) return nullptr;
    std::shared_ptr<const FolderHandle> handle = env_.HoldFolder(folder);
    if (handle) held_.push_back(handle);
    return handle;
  }

 private:
  Env& env_;
  std::size_t max_held_;
  std::vector<std::shared_ptr<const FolderHandle>> held_;  // every handle given out and maybe in use
};

}  // namespace quillora

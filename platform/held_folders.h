// Folders held open so that their files open by their names alone
// (Env::HoldFolder), at most the job's budget of them at once
// (DescriptorBudget::folders): paths queued far ahead may span many folders,
// and each held folder takes a descriptor, which the files themselves need
// too.
//
// Used from one thread, which alone copies and drops the handles it gives out:
// a handle nobody else holds any more is free again.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "platform/descriptor_budget.h"
#include "platform/env.h"

namespace quillora {

class HeldFolders {
 public:
  HeldFolders(Env& env, const DescriptorBudget& budget) : env_(env), max_held_(budget.folders()) {}

  // folder held open, or null while the budget's folders are all in use (or
  // it cannot be held): its files then open by their whole paths.
  std::shared_ptr<const FolderHandle> Hold(const std::string& folder) {
    std::erase_if(held_, [](const std::shared_ptr<const FolderHandle>& handle) { return handle.use_count() == 1; });
    if (held_.size() >= max_held_) return nullptr;
    std::shared_ptr<const FolderHandle> handle;
    try {
      handle = env_.HoldFolder(folder);
    } catch (const SystemError&) {
      return nullptr;  // its files' own opens will say what is wrong
    }
    if (handle) held_.push_back(handle);
    return handle;
  }

 private:
  Env& env_;
  std::size_t max_held_;
  std::vector<std::shared_ptr<const FolderHandle>> held_;  // every handle given out and maybe in use
};

}  // namespace quillora

// The one budget of descriptors a job shares out, taken when it starts from
// what the process may still open (Env::OpenFilesAllowed): the files its
// digests hold open at once (in the lanes, read ahead, on the long lanes, and
// handed between threads) and the folders its walks hold open (HeldFolders),
// after kKeptBesides for what else it opens meanwhile (a listing, a verify's
// walk for new files and its second reading of the check file). Its check
// file and temporary file are open before it is taken, so they are counted
// among what the process holds.
//
// Within it, a job never fails an open for want of a descriptor: its
// digests wait for one instead, and fewer lanes run.
#pragma once

#include <algorithm>
#include <cstddef>

#include "platform/env.h"

namespace quillora {

class DescriptorBudget {
 public:
  static constexpr std::size_t kKeptBesides = 6;
  // Folders held open take at most an eighth of the budget, and no more than
  // this: beyond, paths queued far ahead span more folders than pay back.
  static constexpr std::size_t kMaxFolders = 256;

  explicit DescriptorBudget(Env& env) : DescriptorBudget(env.OpenFilesAllowed()) {}
  // The budget of a process that may still open `allowed` files.
  explicit DescriptorBudget(std::size_t allowed) {
    const std::size_t usable = allowed > kKeptBesides ? allowed - kKeptBesides : 0;
    folders_ = std::min(kMaxFolders, usable / 8);
    files_ = std::max<std::size_t>(1, usable - folders_);
  }

  // Files open for digests at once: at least one, so a job can always go on.
  std::size_t files() const { return files_; }
  // Folders held open at once; 0 when the budget is too small to spare any.
  std::size_t folders() const { return folders_; }

 private:
  std::size_t files_ = 1;
  std::size_t folders_ = 0;
};

}  // namespace quillora

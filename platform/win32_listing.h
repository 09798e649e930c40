// The Windows folder listing, apart so that its test can make FindNextFileW
// fail: a listing ends only on ERROR_NO_MORE_FILES, and any other answer is
// that folder's failure, raised once the entries before it are given.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "platform/env.h"

namespace quillora {

// What a listing's stop says: 0 for its end (ERROR_NO_MORE_FILES), else the
// error that cut it short.
int ListingStopError(DWORD error);

class FindListing final : public FolderListing {
 public:
  using FindNext = BOOL(WINAPI*)(HANDLE find, WIN32_FIND_DATAW* data);
  // Owns find, whose first entry is first; find_next reads each further one.
  FindListing(HANDLE find, const WIN32_FIND_DATAW& first, FolderId id, FindNext find_next = ::FindNextFileW);
  ~FindListing() override;

  bool Next(FolderEntry& entry) override;
  FolderId id() const override { return id_; }

 private:
  HANDLE find_;
  WIN32_FIND_DATAW next_;
  bool has_next_ = true;
  int stop_error_ = 0;  // why the read ahead found no next entry, when not the end
  FolderId id_;
  FindNext find_next_;
};

}  // namespace quillora

// Which files a job that is handed paths (a check file's records) may open
// without a look first: those their folder's listing calls regular files,
// as a walk's own entries are (FileToOpen::listed_regular). The look saved
// is a lookup of the whole path, and on a tree of tiny files it is a third of
// the system's work per file.
//
// A vouched-for file's folder is also held open (HeldFolders), so that its
// file opens by its name alone.
//
// A folder is listed once while its paths come in a row; the last few
// listings are kept for paths that hop between folders. The entries listed
// stay within a few times the paths asked about (plus a first allowance), so
// a huge folder with few recorded files, paths that hop between many folders
// or a folder per path cost at most that: their paths are then simply not
// vouched for.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>

#include "platform/descriptor_budget.h"
#include "platform/env.h"
#include "platform/held_folders.h"

namespace quillora {

class ListedFolders {
 public:
  ListedFolders(Env& env, const DescriptorBudget& budget) : env_(env), held_(env, budget) {}

  // Sets file.listed_regular when a listing of its folder, taken at most a
  // moment ago as runs go (see above), named its last name as a regular
  // file (a folder that cannot be listed vouches for nothing), and then its
  // folder held open, or null, and where its name starts. Called from one
  // thread, which alone copies and drops the handles given out (so it may
  // count their users).
  void Vouch(FileToOpen& file);

  // Names one listing may hold (a few MiB); a larger folder vouches for none.
  static constexpr std::size_t kMaxNames = 1 << 16;
  // Listings kept for paths that hop between folders.
  static constexpr std::size_t kKept = 4;
  // Entries listed in all stay within kEntriesPerPath per path asked about,
  // plus kFirstEntries; each listing counts as kListingEntries more, for its
  // own calls (open, read, close: a listing per path, as in a tree of one
  // file per folder, would cost more than the look it spares). An entry
  // costs about a tenth of the look.
  static constexpr std::uint64_t kEntriesPerPath = 5;
  static constexpr std::uint64_t kListingEntries = 60;
  static constexpr std::uint64_t kFirstEntries = kMaxNames;

 private:
  struct StringHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
  };
  struct Listing {
    std::string lead;  // the paths' part before the name: the folder and a separator
    std::unordered_set<std::string, StringHash, std::equal_to<>> regular;  // empty: vouches for none
    std::shared_ptr<const FolderHandle> handle;
  };
  // Lists folder into listing, unless the allowance or kMaxNames runs out.
  void List(const std::string& folder, Listing& listing);

  Env& env_;
  HeldFolders held_;
  std::list<Listing> kept_;  // the latest first
  std::uint64_t paths_ = 0;
  std::uint64_t entries_ = 0;
};

}  // namespace quillora

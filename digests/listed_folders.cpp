#include "digests/listed_folders.h"

#include "platform/paths.h"

namespace quillora {

void ListedFolders::Vouch(FileToOpen& file) {
  file.listed_regular = false;
  file.folder.reset();
  if (!kListingsSayRegular) return;
  ++paths_;
  const std::string& path = file.path;
  const std::size_t name_at = NameStart(path);
  if (name_at == path.size()) return;
  // The folder as the path gives it, its separator kept: telling it from the
  // kept ones needs no copy.
  const std::string_view lead(path.data(), name_at);
  auto found = kept_.begin();
  while (found != kept_.end() && found->lead != lead) ++found;
  if (found == kept_.end()) {
    // The oldest listing makes room; its folder is listed again when its
    // paths come back, if the allowance lets it.
    if (kept_.size() == kKept) {
      kept_.splice(kept_.begin(), kept_, std::prev(kept_.end()));
    } else {
      kept_.emplace_front();
    }
    kept_.front().lead = lead;
    List(FolderOf(path), kept_.front());
  } else if (found != kept_.begin()) {
    kept_.splice(kept_.begin(), kept_, found);
  }
  const Listing& listing = kept_.front();
  if (!listing.regular.contains(std::string_view(path).substr(name_at))) return;
  file.listed_regular = true;
  file.folder = listing.handle;
  file.name_at = name_at;
}

void ListedFolders::List(const std::string& folder, Listing& listing) {
  listing.regular.clear();
  listing.handle.reset();
  if (entries_ > kEntriesPerPath * paths_ + kFirstEntries) return;
  entries_ += kListingEntries;
  try {
    const std::unique_ptr<FolderListing> list = env_.ListFolder(folder);
    FolderEntry entry;
    std::size_t names = 0;
    while (list->Next(entry)) {
      ++entries_;
      if (++names > kMaxNames) {
        listing.regular.clear();
        return;
      }
      if (entry.regular) listing.regular.insert(std::move(entry.name));
    }
    if (!listing.regular.empty()) listing.handle = held_.Hold(folder);
  } catch (const SystemError&) {
    // Its paths are looked at one by one, which tells why they cannot be read.
    listing.regular.clear();
  }
}

}  // namespace quillora

#include "filelist/list_jobs.h"

#include <algorithm>
#include <exception>
#include <vector>

#include "md5/md5.h"

namespace quillora {
namespace {

void DigestRow(Env& env, const std::string& path, ListSink::RowId row, ListSink& sink) {
  sink.Pump();
  sink.SetDigest(row, LowerAscii(FileDigestText(path, env)));
  sink.Pump();
}

std::string WithoutTrailingSeparator(const std::string& folder) {
  if (!folder.empty() && folder.back() == kPathSeparator) return folder.substr(0, folder.size() - 1);
  return folder;
}

void ScanFolder(Env& env, const std::string& folder, std::vector<FolderId>& ancestors, ListSink& sink) {
  const std::string base = WithoutTrailingSeparator(folder);
  auto listing = env.ListFolder(base.empty() ? std::string(1, kPathSeparator) : base);
  if (!listing) return;
  if (std::find(ancestors.begin(), ancestors.end(), listing->id()) != ancestors.end()) return;
  ancestors.push_back(listing->id());

  FolderEntry entry;
  while (listing->Next(entry)) {
    sink.Pump();
    const std::string full = base + kPathSeparator + entry.name;
    try {
      if (entry.kind == EntryKind::kFolder) {
        ScanFolder(env, full, ancestors, sink);
      } else if (entry.name != kCheckFileName && env.IsReadableFile(full)) {
        const ListSink::RowId row = sink.AppendRow(full);
        sink.SetDigest(row, LowerAscii(FileDigestText(full, env)));
        sink.Pump();
      }
    } catch (const std::exception&) {
      // One entry's failure ends that entry only.
    }
  }
  ancestors.pop_back();
}

}  // namespace

std::string JoinPath(std::string_view folder, std::string_view name) {
  std::string path(folder);
  if (path.empty() || path.back() != kPathSeparator) path += kPathSeparator;
  path += name;
  return path;
}

void AddPickedFile(Env& env, const std::string& path, ListSink& sink) {
  const ListSink::RowId row = sink.AppendRow(path);
  if (!env.IsReadableFile(path)) {
    sink.SetDigest(row, std::string(kCouldNotOpenFile));
    return;
  }
  DigestRow(env, path, row, sink);
}

void AddDroppedPath(Env& env, const std::string& path, ListSink& sink) {
  if (env.IsReadableFile(path)) {
    DigestRow(env, path, sink.AppendRow(path), sink);
  } else if (env.FolderExists(path)) {
    AddFolderToList(env, path, sink);
  } else {
    sink.SetDigest(sink.AppendRow(path), std::string(kCouldNotOpenFile));
  }
}

void AddFolderToList(Env& env, const std::string& folder, ListSink& sink) {
  std::vector<FolderId> ancestors;
  ScanFolder(env, folder, ancestors, sink);
}

}  // namespace quillora

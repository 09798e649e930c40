#include "filelist/list_jobs.h"

#include <exception>

#include "md5/md5.h"
#include "platform/folder_walk.h"

namespace quillora {
namespace {

void DigestRow(Env& env, const std::string& path, ListSink::RowId row, ListSink& sink) {
  sink.Pump();
  sink.SetDigest(row, LowerAscii(FileDigestText(path, env)));
  sink.Pump();
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
  FolderWalk walk(env, folder, /*into_sub_folders=*/true);
  WalkEntry entry;
  while (walk.Next(entry)) {
    sink.Pump();
    if (entry.kind == EntryKind::kFolder || entry.name == kCheckFileName) continue;
    try {
      if (!env.IsReadableFile(entry.path)) continue;
      const ListSink::RowId row = sink.AppendRow(entry.path);
      sink.SetDigest(row, LowerAscii(FileDigestText(entry.path, env)));
      sink.Pump();
    } catch (const std::exception&) {
      // One entry's failure ends that entry only; the row stays as it is.
    }
  }
}

}  // namespace quillora

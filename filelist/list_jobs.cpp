#include "filelist/list_jobs.h"

#include <exception>
#include <memory>
#include <optional>

#include "md5/ahead_queue.h"
#include "md5/md5.h"
#include "platform/folder_walk.h"

namespace quillora {
namespace {

// One thing a list job meets, in order.
struct ListItem {
  enum class Kind {
    kGiven,        // a picked or dropped path: its row comes whatever the test says
    kScannedFile,  // a file met by a folder scan: a row only if readable
    kPassedOver,   // a folder or a "CheckSum.md5" met by a scan: a pump only
  };
  Kind kind = Kind::kGiven;
  std::string path;
};

const std::string* DigestPath(const ListItem& item) {
  return item.kind == ListItem::Kind::kPassedOver ? nullptr : &item.path;
}

// Turns the entries of folder walks into items.
class ScanSource {
 public:
  ScanSource(Env& env, const std::string& folder) : walk_(env, folder, /*into_sub_folders=*/true) {}
  bool Next(ListItem& item) {
    WalkEntry entry;
    if (!walk_.Next(entry)) return false;
    const bool passed_over = entry.kind == EntryKind::kFolder || entry.name == kCheckFileName;
    item.kind = passed_over ? ListItem::Kind::kPassedOver : ListItem::Kind::kScannedFile;
    item.path = std::move(entry.path);
    return true;
  }

 private:
  FolderWalk walk_;
};

void Report(AheadQueue<ListItem>& queue, ListSink& sink) {
  const auto keep_alive = [&sink] { sink.KeepAlive(); };
  ListItem item;
  while (queue.Next(item)) {
    if (item.kind == ListItem::Kind::kGiven) {
      const ListSink::RowId row = sink.AppendRow(item.path);
      const AheadOutcome outcome = queue.Outcome(keep_alive);
      if (!outcome.readable) {
        sink.SetDigest(row, std::string(kCouldNotOpenFile));
        continue;
      }
      sink.Pump();
      if (outcome.error) std::rethrow_exception(outcome.error);
      sink.SetDigest(row, LowerAscii(outcome.digest));
      sink.Pump();
      continue;
    }
    // A scanned entry: pump first, and absorb what goes wrong with it.
    sink.Pump();
    if (item.kind == ListItem::Kind::kPassedOver) continue;
    const AheadOutcome outcome = queue.Outcome(keep_alive);
    if (!outcome.readable) {
      sink.LeftOut(item.path, kCouldNotOpenFile);
      continue;
    }
    const ListSink::RowId row = sink.AppendRow(item.path);
    if (outcome.error) continue;  // the row stays without a second column
    sink.SetDigest(row, LowerAscii(outcome.digest));
    sink.Pump();
  }
}

// Given paths, with folders among them scanned in place when scan_folders.
void Run(Env& env, const std::vector<std::string>& paths, bool scan_folders, ListSink& sink, unsigned jobs) {
  std::size_t next = 0;
  std::unique_ptr<ScanSource> scan;
  AheadQueue<ListItem> queue(
      env, jobs,
      [&](ListItem& item) {
        for (;;) {
          if (scan) {
            if (scan->Next(item)) return true;
            scan.reset();
          }
          if (next == paths.size()) return false;
          const std::string& path = paths[next++];
          if (scan_folders && env.FolderExists(path)) {
            scan = std::make_unique<ScanSource>(env, path);
            continue;
          }
          item = ListItem{ListItem::Kind::kGiven, path};
          return true;
        }
      },
      DigestPath);
  Report(queue, sink);
}

}  // namespace

void AddPickedFiles(Env& env, const std::vector<std::string>& paths, ListSink& sink, unsigned jobs) {
  Run(env, paths, /*scan_folders=*/false, sink, jobs);
}

void AddDroppedPaths(Env& env, const std::vector<std::string>& paths, ListSink& sink, unsigned jobs) {
  Run(env, paths, /*scan_folders=*/true, sink, jobs);
}

void AddFolderToList(Env& env, const std::string& folder, ListSink& sink, unsigned jobs) {
  ScanSource scan(env, folder);
  AheadQueue<ListItem> queue(env, jobs, [&](ListItem& item) { return scan.Next(item); }, DigestPath);
  Report(queue, sink);
}

}  // namespace quillora

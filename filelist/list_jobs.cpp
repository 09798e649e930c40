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
    kPassedOver,   // a folder or a check file met by a scan: a pump only
  };
  Kind kind = Kind::kGiven;
  std::string path;
  int list_error = 0;  // a scanned folder that could not be listed: why
};

const std::string* DigestPath(const ListItem& item) {
  return item.kind == ListItem::Kind::kPassedOver ? nullptr : &item.path;
}

// Turns the entries of folder walks into items.
class ScanSource {
 public:
  ScanSource(Env& env, const std::string& folder)
      : walk_(env, folder, /*into_sub_folders=*/true), folder_(folder) {}
  bool Next(ListItem& item) {
    if (const int error = walk_.root_error(); error != 0 && !root_told_) {
      // A folder that cannot be listed at all is told like one below it.
      root_told_ = true;
      item = ListItem{ListItem::Kind::kPassedOver, folder_, error};
      return true;
    }
    WalkEntry entry;
    if (!walk_.Next(entry)) return false;
    const bool passed_over =
        entry.kind == EntryKind::kFolder || entry.name == kCheckFileName || IsCheckFileTemp(entry.name);
    item.kind = passed_over ? ListItem::Kind::kPassedOver : ListItem::Kind::kScannedFile;
    item.path = std::move(entry.path);
    item.list_error = entry.list_error;
    return true;
  }

 private:
  FolderWalk walk_;
  std::string folder_;
  bool root_told_ = false;
};

void Report(AheadQueue<ListItem>& queue, ListSink& sink) {
  const auto keep_alive = [&sink] { sink.KeepAlive(); };
  ListItem item;
  while (queue.Next(item)) {
    if (item.kind == ListItem::Kind::kGiven) {
      const ListSink::RowId row = sink.AppendRow(item.path);
      const AheadOutcome outcome = queue.Outcome(keep_alive);
      if (outcome.fault) std::rethrow_exception(outcome.fault);
      if (!outcome.readable) {
        sink.SetDigest(row, std::string(kCouldNotOpenFile));
        continue;
      }
      sink.Pump();
      sink.SetDigest(row, outcome.digested() ? outcome.digest : std::string(kCouldNotOpenFile));
      sink.Pump();
      continue;
    }
    // A scanned entry: pump first, and absorb what goes wrong with it.
    sink.Pump();
    if (item.kind == ListItem::Kind::kPassedOver) {
      if (item.list_error != 0) sink.LeftOut(item.path, SystemErrorMessage(item.list_error));
      continue;
    }
    const AheadOutcome outcome = queue.Outcome(keep_alive);
    if (outcome.fault) std::rethrow_exception(outcome.fault);
    if (!outcome.readable) {
      sink.LeftOut(item.path, SystemErrorMessage(outcome.error));
      continue;
    }
    const ListSink::RowId row = sink.AppendRow(item.path);
    sink.SetDigest(row, outcome.digested() ? outcome.digest : std::string(kCouldNotOpenFile));
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

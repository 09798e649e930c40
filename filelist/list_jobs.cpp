#include "filelist/list_jobs.h"

#include <exception>
#include <memory>
#include <string_view>

#include "digests/ahead_queue.h"
#include "digests/folder_scan.h"
#include "md5/md5.h"
#include "platform/descriptor_budget.h"
#include "platform/held_folders.h"

namespace quillora {
namespace {

// One thing a list job meets, in order: a picked or dropped path, whose row
// comes whatever the test says, or an entry of a folder scan.
struct ListItem {
  bool given = false;
  FileToOpen file;  // given
  ScanEntry entry;  // scanned
};

// What an item asks to digest, in the job's digest.
std::function<DigestRequest(const ListItem&)> DigestPath(DigestId digest) {
  return [digests = DigestSet{digest}](const ListItem& item) {
    DigestRequest request = item.given ? DigestRequest{&item.file} : ScanDigestPath(item.entry);
    request.digests = digests;
    return request;
  };
}

// A file's outcome as the list takes it: a fault of the system ends the
// job; what a file is, is that file's row.
AheadOutcome Checked(AheadOutcome outcome, const std::string& path) {
  ThrowIfSystemFault(outcome, path);
  return outcome;
}

void SetOutcome(ListSink& sink, ListSink::RowId row, const AheadOutcome& outcome) {
  if (outcome.digested()) {
    sink.SetDigest(row, outcome.text());
  } else {
    sink.SetCouldNotOpen(row, outcome.error);
  }
}

void Report(AheadQueue<ListItem>& queue, ListSink& sink) {
  const auto keep_alive = [&sink] { sink.KeepAlive(); };
  ListItem item;
  while (queue.Next(item)) {
    if (item.given) {
      const ListSink::RowId row = sink.AppendRow(item.file.path);
      const AheadOutcome outcome = Checked(queue.Outcome(keep_alive), item.file.path);
      if (!outcome.readable) {
        sink.SetCouldNotOpen(row, outcome.error);
        continue;
      }
      sink.Pump();
      SetOutcome(sink, row, outcome);
      sink.Pump();
      continue;
    }
    // A scanned entry: pump first, and absorb what goes wrong with it.
    sink.Pump();
    const ScanEntry& entry = item.entry;
    if (entry.kind == ScanEntry::Kind::kUnlistableFolder || entry.kind == ScanEntry::Kind::kUnlookable) {
      ThrowIfSystemFault(entry);
      sink.LeftOut(entry.file.path, SystemErrorMessage(entry.error));
    }
    if (entry.kind != ScanEntry::Kind::kFile) continue;
    const AheadOutcome outcome = Checked(queue.Outcome(keep_alive), entry.file.path);
    if (!outcome.readable) {
      sink.LeftOut(entry.file.path, SystemErrorMessage(outcome.error));
      continue;
    }
    const ListSink::RowId row = sink.AppendRow(entry.file.path);
    SetOutcome(sink, row, outcome);
    sink.Pump();
  }
}

// Given paths, with folders among them scanned in place when scan_folders.
void Run(Env& env, const std::vector<std::string>& paths, bool scan_folders, ListSink& sink, unsigned jobs,
         DigestId digest) {
  std::size_t next = 0;
  const DescriptorBudget budget(env);
  HeldFolders held(env, budget);  // by every folder's scan in turn: one bound for the job
  std::unique_ptr<FolderScan> scan;
  AheadQueue<ListItem> queue(
      env, jobs, budget,
      [&](ListItem& item) {
        for (;;) {
          if (scan) {
            item.given = false;
            if (scan->Next(item.entry)) return true;
            scan.reset();
          }
          if (next == paths.size()) return false;
          const std::string& path = paths[next++];
          // A path that cannot be looked at is no folder to scan: its row
          // says that it cannot be opened.
          if (scan_folders && FolderToUse(env, path)) {
            scan = std::make_unique<FolderScan>(env, path, /*into_sub_folders=*/true, nullptr, std::string_view(),
                                                &held);
            continue;
          }
          item.given = true;
          item.file = FileToOpen{path};
          return true;
        }
      },
      DigestPath(digest));
  Report(queue, sink);
}

}  // namespace

void AddPickedFiles(Env& env, const std::vector<std::string>& paths, ListSink& sink, unsigned jobs, DigestId digest) {
  Run(env, paths, /*scan_folders=*/false, sink, jobs, digest);
}

void AddDroppedPaths(Env& env, const std::vector<std::string>& paths, ListSink& sink, unsigned jobs, DigestId digest) {
  Run(env, paths, /*scan_folders=*/true, sink, jobs, digest);
}

void AddFolderToList(Env& env, const std::string& folder, ListSink& sink, unsigned jobs, DigestId digest) {
  const DescriptorBudget budget(env);
  HeldFolders held(env, budget);
  FolderScan scan(env, folder, /*into_sub_folders=*/true, nullptr, std::string_view(), &held);
  AheadQueue<ListItem> queue(
      env, jobs, budget,
      [&](ListItem& item) {
        item.given = false;
        return scan.Next(item.entry);
      },
      DigestPath(digest));
  Report(queue, sink);
}

}  // namespace quillora

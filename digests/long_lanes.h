// The long lanes: a thread of their own with lanes for large files only, so
// that a large file runs at its kernel's pace from its open on, never at the
// pace of the small files beside it in a worker's lanes. Workers hand them
// large files once opened (Take); they post each outcome to the queue.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <thread>
#include <vector>

#include "digests/digester.h"
#include "digests/outcome_queue.h"
#include "platform/mutex.h"

namespace quillora {

// What the long lanes ask of the threads around them.
class LongLanesPeers {
 public:
  virtual ~LongLanesPeers() = default;
  // Takes a file from the long lanes, unfinished, for an idle worker.
  virtual void HandOver(FileLanes::Rest&& file) = 0;
  // True when a worker would finish a file handed over at once, alone.
  virtual bool FinisherWaiting() = 0;
  // True while workers may still open large files.
  virtual bool WorkersMayOpenMore() = 0;
};

class LongLanes {
 public:
  // Takes up to `capacity` files at once (the lanes of the widest kernel
  // that runs). Starts its thread.
  LongLanes(OutcomeQueue& queue, LongLanesPeers& peers, std::size_t capacity);
  // Stops the thread, dropping the files it holds, and joins it.
  ~LongLanes();

  // Takes an open file when there is room; false when full.
  bool Take(OpenedFile& file) EXCLUDES(mutex_);

 private:
  class Source;
  void Work() EXCLUDES(mutex_);

  OutcomeQueue& queue_;
  LongLanesPeers& peers_;
  std::atomic<bool> stop_{false};  // set under mutex_, so the thread's wait never misses it
  const std::size_t capacity_;
  std::unique_ptr<Digester> digester_;
  Mutex mutex_;
  CondVar ready_;
  std::deque<OpenedFile> waiting_ GUARDED_BY(mutex_);  // taken, not yet in a lane
  std::size_t count_ GUARDED_BY(mutex_) = 0;           // those and the ones in its lanes
  std::vector<std::uint64_t> holding_;                  // its files' numbers: the thread's own
  std::jthread thread_;
};

}  // namespace quillora

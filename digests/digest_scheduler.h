// The scheduler: the threads that digest (workers, and readers that work only
// while reads wait on the disk), the files lanes gave back to it unfinished,
// and the cold flag. It claims files from the outcome queue, opens them, and
// hands them to each thread's Digester through a FileSource; it reaches the
// queue only through ClaimFiles and Post, and knows nothing of which digest
// is computed. A file changed a moment before its open is read twice, on
// the thread that opened it (DigestedTwice).
#pragma once

#include <atomic>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "digests/digester.h"
#include "digests/long_lanes.h"
#include "digests/outcome_queue.h"
#include "platform/env.h"
#include "platform/mutex.h"

namespace quillora {

class DigestScheduler final : public LongLanesPeers {
 public:
  // workers threads that take files whenever some wait, and readers more
  // that take files only while the workers' reads wait on the disk
  // (Digester::cold): then more opens and reads are in flight than there
  // are cores to hash. Each gets a Digester from make_digester (given the
  // stop flag its lanes watch). At most one fewer than finishers finish
  // files handed over at once.
  struct Shape {
    unsigned workers = 1;
    unsigned readers = 0;
    unsigned finishers = 1;  // workers or cores, the fewer
  };
  using MakeDigester = std::function<std::unique_ptr<Digester>(const std::atomic<bool>& stop)>;
  DigestScheduler(Env& env, OutcomeQueue& queue, Shape shape, const MakeDigester& make_digester);
  ~DigestScheduler() override;

  // Starts the threads; large files go on to long_lanes (may be null).
  // Raises what a thread's start raises, with those started stopped again.
  void Start(LongLanes* long_lanes);
  // Stops the threads and waits for them; files they held are dropped.
  void Stop();

  // Files may have become claimable: wakes the threads that wait for them.
  void Wake() EXCLUDES(mutex_);

  // LongLanesPeers.
  void HandOver(FileLanes::Rest&& file) override EXCLUDES(mutex_);
  bool FinisherWaiting() override EXCLUDES(mutex_);
  bool WorkersMayOpenMore() override EXCLUDES(mutex_);

 private:
  struct Hand;
  class Source;
  // How many threads are where: waiting for work, in their digester, or
  // finishing a file handed over.
  struct Counts {
    unsigned idle = 0;
    unsigned digesting = 0;
    unsigned finishing = 0;
  };

  void Work(Hand& hand) EXCLUDES(mutex_);
  // Waits until hand has something to do; false when stopping.
  bool WaitForWork(const Hand& hand) REQUIRES(mutex_);
  bool HasWork(const Hand& hand) const REQUIRES(mutex_);
  // Three files handed over or more make a kernel of their own: a hand whose
  // digester takes them in gathers them.
  bool Gathers(const Hand& hand) const REQUIRES(mutex_);
  // A file handed over, for an idle worker to finish alone: when no file
  // waits to be claimed, no digester runs (it could take it in) and the
  // hand does not gather such files into its lanes.
  std::optional<FileLanes::Rest> ToFinish(const Hand& hand) REQUIRES(mutex_);
  void Finish(FileLanes::Rest& file);
  void RunDigester(Hand& hand) EXCLUDES(mutex_);
  // A file handed over of family, for lanes running `busy` files.
  bool TakeHandedOver(FileLanes::Rest& rest, DigestId family, std::size_t busy) EXCLUDES(mutex_);
  // The readers follow the workers' reads: they start while those wait on
  // the disk, and take no more files once they no longer do.
  void FollowCold(const Hand& hand) EXCLUDES(mutex_);

  Env& env_;
  OutcomeQueue& queue_;
  std::vector<std::unique_ptr<Hand>> hands_;
  LongLanes* long_lanes_ = nullptr;
  mutable Mutex mutex_;
  CondVar work_ready_;  // the workers'
  CondVar cold_ready_;  // the readers'
  std::deque<FileLanes::Rest> handed_over_ GUARDED_BY(mutex_);
  Counts counts_ GUARDED_BY(mutex_);
  unsigned finishers_;  // Shape::finishers
  std::atomic<bool> cold_{false};  // written under the lock, read without
  std::atomic<bool> stopping_{false};
  std::vector<std::jthread> threads_;
};

}  // namespace quillora

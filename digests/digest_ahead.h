// Digests computed ahead on worker threads and handed back strictly in the
// order the files were queued. A job queues the next files of its walk while
// it reports the current one; what it reports stays exactly what it would be
// if each file were tested and digested at its turn on the caller's thread.
//
// Three parts, each with its own state and lock: the ordered-outcome queue
// (outcome_queue.h), the scheduler and its threads (digest_scheduler.h), and
// where a lane kernel runs, the long lanes (long_lanes.h); the digests
// themselves are Digesters (digester.h). This is the one object a job holds,
// and its one pipeline: a file the job must know about before it queues the
// next (DigestNow) goes through the same threads, budget and fault boundary.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>

#include "digests/digest_scheduler.h"
#include "digests/long_lanes.h"
#include "digests/outcome_queue.h"
#include "platform/env.h"

namespace quillora {

class DigestAhead {
 public:
  // jobs worker threads (0 means one per core), even one: the caller walks
  // and reports meanwhile. Where a lane kernel runs (ActiveKernel), each
  // worker digests as many files of its digest alone at once as it has
  // lanes, filling its lanes before another worker takes files; readers make
  // up kColdWorkers threads that work while reads wait on the disk; and with
  // two jobs or more, the long lanes take files of kOverlapFrom bytes or
  // more once opened. At most max_ahead files are queued and not yet taken
  // (0: kDefaultAhead); at most open_files are open at once (0: the env's
  // DescriptorBudget::files).
  explicit DigestAhead(Env& env, unsigned jobs = 0, std::size_t max_ahead = 0, std::size_t open_files = 0);
  // Stops the threads and waits for them; outcomes not taken are dropped.
  ~DigestAhead();
  DigestAhead(const DigestAhead&) = delete;
  DigestAhead& operator=(const DigestAhead&) = delete;

  // True while another file may be queued.
  bool HasRoom() const { return queue_.HasRoom(); }
  // Queues a file after those queued before; its request is copied. Workers
  // start on queued files at Start() (or when they finish one): waking a
  // thread costs more than the whole work for a cheap file, so a caller
  // queues a batch, then starts it. A folder held in the request stays held
  // until the file's outcome is taken; the caller's thread alone takes and
  // drops it.
  void Submit(const DigestRequest& request) { queue_.Submit(request); }
  void Submit(const std::string& path, DigestSet digests = {DigestId::kMd5});
  void Start() { queue_.Release(); }
  // The outcome of the oldest file not yet taken. While it waits, it calls
  // idle about every 20 ms (the window stays live on a large file).
  AheadOutcome TakeNext(const std::function<void()>& idle = {}) { return queue_.TakeNext(idle); }
  // Digests one file ahead of every file queued, and waits for it, calling
  // idle as TakeNext does; its outcome is not one of the queue's.
  AheadOutcome DigestNow(const DigestRequest& request, const std::function<void()>& idle = {}) {
    return queue_.Now(request, idle);
  }

  // The number of threads a DigestAhead made with jobs == 0 uses: one per
  // core, unless SetDefaultJobs chose another number (0 restores it).
  static unsigned DefaultJobs();
  static void SetDefaultJobs(unsigned jobs);

  // Far enough ahead that every worker keeps busy while the report waits on
  // a large file early in the walk: the files behind it, large ones among
  // them, are started meanwhile instead of one after another once the report
  // moves on (a long-tailed tree of 20,000 files took twice its compute
  // floor with 512 per job, and 1.1 times today's time with 16,384 in all:
  // its last large files waited for its first). A queued file costs its path
  // and outcome, a few hundred bytes: 65,536 of them, about 20 MiB at most.
  static constexpr std::size_t kDefaultAhead = 65536;
  // Threads in all once reads wait on the disk (where a lane kernel runs;
  // fewer jobs get readers to make up the number, asleep until then): about
  // the reads in flight a solid-state disk needs to give its full speed.
  static constexpr unsigned kColdWorkers = 8;

 private:
  // The constructor above, with every default filled in once; lanes: the
  // most any kernel that runs has (1: none runs).
  DigestAhead(Env& env, std::size_t lanes, unsigned jobs, std::size_t max_ahead, std::size_t open_files);

  OutcomeQueue queue_;
  DigestScheduler scheduler_;  // after the queue, which its threads post to
  std::unique_ptr<LongLanes> long_lanes_;
};

}  // namespace quillora

// Digests computed ahead on worker threads and handed back strictly in the
// order the files were queued. A job queues the next files of its walk while
// it reports the current one; what it reports stays exactly what it would be
// if each file were tested and digested at its turn on the caller's thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "digests/file_digest.h"  // DigestValues
#include "digests/file_lanes.h"
#include "hashes/digest_table.h"
#include "md5/md5.h"
#include "md5/md5_lanes.h"
#include "platform/env.h"

namespace quillora {


// What became of one queued file, all taken at one moment: a file that
// changes or goes away meanwhile is reported as it was when it was read.
struct AheadOutcome {
  bool exists = false;    // something may be there: the lookup did not say "no such name"
  bool readable = false;  // it passed the readability test
  std::string digest;     // the digest text (lower case), when readable and digested
  // The system error number that kept the file from being digested: the
  // readability test's when not readable, else the digest's own (an open or
  // a read that failed part way, kChangedWhileRead); 0 when digest holds
  // the digest.
  int error = 0;
  // Anything else that failed (out of memory), on any engine: it ends the
  // job.
  std::exception_ptr fault;
  // For a request of more than MD5 alone (DigestRequest::digests), each
  // digest asked for, in the table's order, when digested; digest stays
  // empty then.
  DigestValues values;

  bool digested() const { return readable && error == 0 && !fault; }
};

// A file to digest: its path, and whether its folder's listing has just said
// it is a regular file (Env::OpenListedForDigest opens it without a look
// first), and then by its name alone when its folder is held open (its name
// starts at path[name_at]). A request without a path asks for nothing.
struct DigestRequest {
  const std::string* path = nullptr;
  bool listed_regular = false;
  std::shared_ptr<const FolderHandle> folder = nullptr;
  std::size_t name_at = 0;
  // What to compute: MD5 alone goes to this program's engine and its lanes;
  // any other set is read once through the library's streaming digest.
  DigestSet digests{DigestId::kMd5};
};

class DigestAhead {
 public:
  // jobs worker threads (0 means one per core), even one: the caller walks
  // and reports meanwhile. Each worker digests up to
  // LaneCount(ActiveLaneEngine()) files at once on the lane kernel (see
  // FileLanes), filling its lanes before another worker takes files, or one
  // at a time on the scalar engine. With two jobs or more on the lanes, one
  // thread more runs the long lanes: files of kOverlapFrom bytes or more go
  // there once opened (see ToLongLanes). At most max_ahead files are queued
  // and not yet taken (0: kDefaultAhead). At most open_files files are open
  // at once, wherever they are (0: the env's DescriptorBudget::files): a
  // file is counted from its claim to its outcome, and workers claim no more
  // than the count leaves, so no open fails for want of a descriptor.
  explicit DigestAhead(Env& env, unsigned jobs = 0, std::size_t max_ahead = 0, std::size_t open_files = 0);
  // Stops the workers and waits for them; outcomes not taken are dropped.
  ~DigestAhead();
  DigestAhead(const DigestAhead&) = delete;
  DigestAhead& operator=(const DigestAhead&) = delete;

  // True while another file may be queued.
  bool HasRoom() const;
  // Queues a file after those queued before. Workers start on queued files
  // at Start() (or when they finish one): waking a thread costs more than the
  // whole work for a cheap file, so a caller queues a batch, then starts it.
  // A folder given stays held until the file's outcome is taken; the
  // caller's thread alone takes and drops it.
  void Submit(std::string path, bool listed_regular = false, std::shared_ptr<const FolderHandle> folder = {},
              std::size_t name_at = 0, DigestSet digests = {DigestId::kMd5});
  void Start();
  // The outcome of the oldest file not yet taken. While it waits, it calls
  // idle about every 20 ms (the window stays live on a large file).
  AheadOutcome TakeNext(const std::function<void()>& idle = {});

  // The number of threads a DigestAhead made with jobs == 0 uses: one per
  // core, unless SetDefaultJobs chose another number (0 restores it).
  static unsigned DefaultJobs();
  static void SetDefaultJobs(unsigned jobs);

  static constexpr std::size_t kDefaultAhead = 65536;
  // Threads in all once reads wait on the disk (with lanes; fewer jobs get
  // readers to make up the number, asleep until then): about the reads in
  // flight a solid-state disk needs to give its full speed.
  static constexpr unsigned kColdWorkers = 8;

 private:
  struct Slot {
    std::string path;
    bool listed_regular = false;
    std::shared_ptr<const FolderHandle> folder;  // held for the open, or null
    std::size_t name_at = 0;
    DigestSet digests{DigestId::kMd5};
    std::optional<AheadOutcome> outcome;
  };
  struct Claimed {
    std::uint64_t number;
    const std::string* path;  // the slot's: it stays until its outcome is taken
    bool opened = false;
    bool listed_regular = false;  // the slot's: opened without a look first
    const FolderHandle* folder = nullptr;  // the slot's, which keeps it
    std::size_t name_at = 0;
    DigestSet digests{DigestId::kMd5};
  };
  // What one thread that digests holds: the files it claimed and has not
  // posted, oldest first (at most a lane's worth), and its lanes, if any.
  // Made before the thread starts, so a thread never allocates them.
  struct Hand {
    std::vector<Claimed> held;
    std::unique_ptr<FileLanes> lanes;
    bool only_when_cold = false;  // a reader's: works only once cold_
  };
  // The readability test and the existence facts of the claimed file; for a
  // file that passes, its open for the digest into file (a failed open is
  // the outcome's error). A file its listing called regular is opened
  // without a look first.
  AheadOutcome Open(const Claimed& claimed, std::unique_ptr<Stream>& file);
  // The outcome of a file Open opened: its digest text, or the error of its
  // read (kChangedWhileRead among them).
  static AheadOutcome Digested(const DigestBytes& digest, int error);
  // A file Open opened, digested alone on this thread: MD5 on the scalar
  // engine, or the streaming digest for any other set.
  static AheadOutcome DigestedAlone(Stream& file, DigestSet digests);
  // Claims files and posts each one's outcome: on hand's lanes as many as it
  // can claim, else one on the scalar engine. Every engine's one exception
  // boundary: anything a file's own SystemError does not cover becomes the
  // fault of every file hand holds, so the job ends, never the program.
  void DigestClaimed(Hand& hand);
  // Posts fault as the outcome of every file held, and lets them go.
  void PostFault(std::vector<Claimed>& held, const std::exception_ptr& fault);
  // Drops file number from held (it was posted or handed on).
  static void LetGo(std::vector<Claimed>& held, std::uint64_t number);
  void Work(Hand& hand);
  // The long lanes' thread: digests the large files workers hand it (see
  // ToLongLanes) until the job ends.
  void LongWork();
  void RunLongLanes();
  // Hands an open file that takes a worker's lanes a long time to the long
  // lanes, if they have room: a file among small ones moves only as fast as
  // they are opened and read. Returns true when it was taken.
  bool ToLongLanes(std::uint64_t number, std::unique_ptr<Stream>& file);
  // Digests the rest of a file a worker's lanes handed over, and posts it.
  void FinishRest(FileLanes::Rest& rest);
  // Moves up to wanted files not yet started from the queue to held. Returns
  // how many. Takes the lock.
  std::size_t Claim(std::vector<Claimed>& held, std::size_t wanted);
  // Hands in the outcome of file `number`. Takes the lock.
  void Post(std::uint64_t number, AheadOutcome outcome);
  // Files queued that no worker has started. With the lock held.
  std::uint64_t Unstarted() const { return taken_ + slots_.size() - next_to_start_; }
  // True when a file could be claimed now: one waits, and a descriptor is
  // free for it. With the lock held.
  bool Claimable() const { return Unstarted() != 0 && free_files_ != 0; }
  // True when a worker waits for work and there is some. With the lock held.
  bool WorkerToWake() const { return idle_workers_ > 0 && Claimable(); }

  // Bytes each lane reads at a time: a worker's buffers take
  // LaneCount(engine) * kLaneChunk bytes.
  static constexpr std::size_t kLaneChunk = 64 * 1024;

  Env& env_;
  LaneEngine engine_;
  std::size_t max_ahead_;
  std::atomic<bool> stop_lanes_{false};  // stopping_, for workers amid a FileLanes run
  mutable std::mutex mutex_;
  std::condition_variable work_ready_;
  std::condition_variable cold_ready_;  // the readers'
  std::condition_variable outcome_ready_;
  std::deque<Slot> slots_;       // queued and not taken, oldest first
  std::uint64_t taken_ = 0;      // files taken so far: the number of slots_.front()
  std::uint64_t next_to_start_ = 0;  // the number of the next file for a worker
  std::size_t free_files_ = 0;       // the open files the budget still allows: claimed ones are counted
  bool stopping_ = false;
  unsigned idle_workers_ = 0;    // workers waiting for a file
  bool caller_waiting_ = false;  // TakeNext waits for the oldest outcome
  std::vector<Hand> hands_;      // one per worker
  std::deque<FileLanes::Rest> rests_;  // large files handed over by thin kernels
  unsigned in_kernels_ = 0;            // workers running their lanes
  unsigned finishing_rests_ = 0;       // workers finishing a file handed over
  unsigned jobs_ = 0;                  // hands_ that digest whether cold or not
  // Whether the reads of the worker that last took a file waited on the disk
  // (FileLanes::cold): the readers work while it is set. Written under the
  // lock.
  std::atomic<bool> cold_{false};
  // The long lanes (with two jobs or more, on an engine with lanes): a
  // thread of their own with a FileLanes for large files only, so they run
  // on every lane at the kernel's pace from their open on.
  std::unique_ptr<Hand> long_hand_;
  std::deque<FileLanes::File> long_files_;  // handed to it, not yet in a lane
  std::size_t long_count_ = 0;              // those and the ones in its lanes
  std::condition_variable long_ready_;
  std::vector<std::jthread> workers_;
};

}  // namespace quillora

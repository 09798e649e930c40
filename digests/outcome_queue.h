// The ordered-outcome queue: the promise every job relies on. Files are
// queued in the job's order; workers claim them in that order and post each
// one's outcome whenever it is done; the job takes the outcomes back strictly
// in the order queued, so every line is what a one-thread run would write.
//
// It also holds the budget of open files: a file counts from its claim to
// its outcome, wherever it is meanwhile (a lane, read ahead, the long lanes,
// handed over between threads), and no more are claimed than the budget
// allows, so no open fails for want of a descriptor.
//
// Thread-safe. It knows nothing of how a file is digested.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "hashes/digest_table.h"
#include "hashes/streaming_digest.h"  // DigestValues
#include "platform/env.h"
#include "platform/mutex.h"

namespace quillora {

// What a job asks of one file: how to open it, and what to compute, all in
// one reading of it (a digest a lane kernel runs, alone, takes a lane: see
// lane_kernel.h). A request without a file asks for nothing.
struct DigestRequest {
  const FileToOpen* file = nullptr;
  DigestSet digests{DigestId::kMd5};
};

// What became of one queued file, all taken at one moment: a file that
// changes or goes away meanwhile is reported as it was when it was read.
struct AheadOutcome {
  bool exists = false;    // something may be there: the lookup did not say "no such name"
  bool readable = false;  // it passed the readability test
  DigestValues values;    // when digested: each digest asked for, in the table's order
  std::uint64_t size = 0;  // when digested: the bytes read
  // The system error number that kept the file from being digested: the
  // readability test's when not readable, else the digest's own (an open or
  // a read that failed part way, kChangedWhileRead); 0 when digested.
  int error = 0;
  // Anything else that failed (out of memory) on the thread that digested
  // it (PostingFaults): it ends the job.
  std::exception_ptr fault;

  bool digested() const { return readable && error == 0 && !fault; }
  // The lower-case hexadecimal text of the one digest a request asked for,
  // when digested; else empty.
  std::string text() const { return values.empty() ? std::string() : HexText(values.front().second); }
};

// The outcome of a file opened and read whole (digested, or the error of
// its read: kChangedWhileRead among them).
AheadOutcome ReadOutcome(DigestValues values, std::uint64_t size, int error);

// Opens file for its digest into stream, or gives the outcome of an open
// that failed. Only a file that did not open is looked at again, to tell
// what stands there: nothing, a folder, a dangling link, a file that may not
// be read, or a readable file that the digest's own open could not have
// (held by another program).
AheadOutcome OpenToDigest(Env& env, const FileToOpen& file, std::unique_ptr<Stream>& stream);

class OutcomeQueue {
 public:
  // At most max_queued files queued and not taken; at most open_files of
  // them claimed and not posted. on_claimable is called, without the lock,
  // whenever files may have become claimable (Release, or a descriptor freed
  // while files wait), so whoever runs the workers wakes them.
  OutcomeQueue(std::size_t max_queued, std::size_t open_files, std::function<void()> on_claimable);

  bool HasRoom() const EXCLUDES(mutex_);
  // Queues a file after those queued before (it may be claimed at once).
  void Submit(const DigestRequest& request) EXCLUDES(mutex_);
  // Says that files were queued: on_claimable, when any waits unclaimed.
  // Waking a thread costs more than a cheap file: a job queues a batch first.
  void Release() EXCLUDES(mutex_);

  // A claimed file: its number in the queue, and its request, which stays
  // until its outcome is taken (so until Post, for the claimer).
  struct Claim {
    std::uint64_t number = 0;
    const FileToOpen* file = nullptr;
    DigestSet digests;
  };
  // Appends up to `wanted` files not yet claimed to claims, in queue order,
  // within the budget; returns how many (0 once stopped).
  std::size_t ClaimFiles(std::vector<Claim>& claims, std::size_t wanted) EXCLUDES(mutex_);
  // True while a file waits unclaimed and the budget has room for it.
  bool Claimable() const EXCLUDES(mutex_);
  // Hands in the outcome of claimed file `number`, whose file is closed.
  void Post(std::uint64_t number, AheadOutcome outcome) EXCLUDES(mutex_);

  // The outcome of the oldest file not yet taken (an empty outcome when none
  // is queued). While it waits, it calls idle about every 20 ms.
  AheadOutcome TakeNext(const std::function<void()>& idle = {}) EXCLUDES(mutex_);

  // Digests one file ahead of every file queued and waits for its outcome,
  // calling idle about every 20 ms: the first claim takes it, within the
  // same budget of open files, and its outcome comes back here, not in
  // queue order (a fault too, for the caller to rethrow). One at a time,
  // from the job's thread.
  AheadOutcome Now(const DigestRequest& request, const std::function<void()>& idle = {}) EXCLUDES(mutex_);
  // The number a claim of Now's file carries.
  static constexpr std::uint64_t kNowNumber = ~std::uint64_t{0};
  // From now on nothing more is claimed; outcomes not taken are dropped.
  void Stop() EXCLUDES(mutex_);

 private:
  struct Slot {
    FileToOpen file;
    DigestSet digests;
    std::optional<AheadOutcome> outcome;
  };
  bool ClaimableLocked() const REQUIRES(mutex_);
  std::uint64_t Unclaimed() const REQUIRES(mutex_) {
    return taken_ + slots_.size() - next_to_claim_ + (now_ && !now_claimed_ ? 1 : 0);
  }
  // Waits for slot's outcome, calling idle about every 20 ms; with the lock
  // held on entry and on return.
  void AwaitOutcome(const Slot& slot, const std::function<void()>& idle) REQUIRES(mutex_);

  const std::size_t max_queued_;
  const std::function<void()> on_claimable_;
  mutable Mutex mutex_;
  CondVar outcome_ready_;
  std::deque<Slot> slots_ GUARDED_BY(mutex_);  // queued and not taken, oldest first
  std::uint64_t taken_ GUARDED_BY(mutex_) = 0;  // files taken: the number of slots_.front()
  std::uint64_t next_to_claim_ GUARDED_BY(mutex_) = 0;
  std::size_t free_files_ GUARDED_BY(mutex_);   // claims the budget still allows
  bool caller_waiting_ GUARDED_BY(mutex_) = false;  // TakeNext or Now waits for an outcome
  std::optional<Slot> now_ GUARDED_BY(mutex_);       // Now's file
  bool now_claimed_ GUARDED_BY(mutex_) = false;
  bool stopped_ GUARDED_BY(mutex_) = false;
};

}  // namespace quillora

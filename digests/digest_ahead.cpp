#include "digests/digest_ahead.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>

#include "digests/file_digest.h"
#include "digests/file_lanes.h"
#include "platform/descriptor_budget.h"

namespace quillora {

namespace {
std::atomic<unsigned> default_jobs{0};
}  // namespace

void DigestAhead::SetDefaultJobs(unsigned jobs) { default_jobs = jobs; }

unsigned DigestAhead::DefaultJobs() {
  if (const unsigned chosen = default_jobs; chosen != 0) return chosen;
  const unsigned cores = std::thread::hardware_concurrency();
  return cores == 0 ? 1 : cores;
}

DigestAhead::DigestAhead(Env& env, unsigned jobs, std::size_t max_ahead, std::size_t open_files)
    : env_(env), engine_(ActiveLaneEngine()) {
  if (jobs == 0) jobs = DefaultJobs();
  // Far enough ahead that every worker keeps busy while the report waits on
  // a large file early in the walk: the files behind it, large ones among
  // them, are started meanwhile instead of one after another once the report
  // moves on (a long-tailed tree of 20,000 files took twice its compute floor
  // with 512 per job, and 1.1 times today's time with 16,384 in all: its last
  // large files waited for its first). A queued file costs its path and
  // outcome, a few hundred bytes: 65,536 of them, about 20 MiB at most.
  const std::size_t lanes = LaneCount(engine_);
  max_ahead_ = max_ahead != 0 ? max_ahead : kDefaultAhead;
  // Workers beyond jobs wait until reads wait on the disk: then more opens
  // and reads are in flight than there are cores to hash.
  const unsigned readers = lanes > 1 ? std::max(jobs, kColdWorkers) - jobs : 0;
  jobs_ = jobs;
  hands_.resize(jobs + readers);
  for (std::size_t i = jobs; i < hands_.size(); ++i) hands_[i].only_when_cold = true;
  // Every file open for a digest counts, in lanes, read ahead or on the long
  // lanes: past the budget an open would fail for want of descriptors, and
  // a readable file would be reported as one that could not be opened.
  free_files_ = open_files != 0 ? open_files : DescriptorBudget(env).files();
  for (Hand& hand : hands_) {
    hand.held.reserve(2 * lanes + 1);  // a lane's worth in the lanes, as many taken ahead
    if (lanes > 1) hand.lanes = std::make_unique<FileLanes>(engine_, kLaneChunk);
  }
  if (lanes > 1 && jobs >= 2) {
    long_hand_ = std::make_unique<Hand>();
    long_hand_->held.reserve(lanes);
    long_hand_->lanes = std::make_unique<FileLanes>(engine_, kLaneChunk);
  }
  workers_.reserve(hands_.size() + 1);
  try {
    for (Hand& hand : hands_) workers_.emplace_back([this, &hand] { Work(hand); });
    if (long_hand_) workers_.emplace_back([this] { LongWork(); });
  } catch (...) {  // no thread to be had: stop those started before rethrowing
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    work_ready_.notify_all();
    cold_ready_.notify_all();
    long_ready_.notify_all();
    workers_.clear();
    throw;
  }
}

DigestAhead::~DigestAhead() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  stop_lanes_ = true;
  work_ready_.notify_all();
  cold_ready_.notify_all();
  long_ready_.notify_all();
  workers_.clear();  // joins
}

bool DigestAhead::HasRoom() const {
  std::lock_guard lock(mutex_);
  return slots_.size() < max_ahead_;
}

void DigestAhead::Submit(std::string path, bool listed_regular, std::shared_ptr<const FolderHandle> folder,
                         std::size_t name_at, DigestSet digests) {
  std::lock_guard lock(mutex_);
  slots_.push_back(Slot{std::move(path), listed_regular, std::move(folder), name_at, digests, std::nullopt});
}

void DigestAhead::Start() {
  bool wake, wake_readers;
  {
    std::lock_guard lock(mutex_);
    wake = WorkerToWake();
    wake_readers = cold_ && Claimable();
  }
  if (wake) work_ready_.notify_all();
  if (wake_readers) cold_ready_.notify_all();
}

AheadOutcome DigestAhead::Open(const Claimed& claimed, std::unique_ptr<Stream>& file) {
  const std::string& path = *claimed.path;
  AheadOutcome outcome;
  int open_error = 0;
  try {
    file = claimed.listed_regular ? env_.OpenListedForDigest(path, claimed.folder, claimed.name_at)
                                  : env_.OpenForDigest(path);
    outcome.exists = outcome.readable = true;
    return outcome;
  } catch (const SystemError& e) {
    open_error = e.number();
  }
  // Only a file that did not open is looked at again, to tell what stands
  // there: nothing, a folder, a dangling link, a file that may not be read,
  // or a readable file that the digest's own open could not have (held).
  outcome.error = ReadabilityError(env_, path);
  outcome.readable = outcome.error == 0;
  if (outcome.readable) outcome.error = open_error;
  // Whatever stands there, a folder or a FIFO too, is something that could
  // not be opened; only a lookup that found no entry says nothing is there
  // (a link that leads nowhere is still an entry).
  outcome.exists = outcome.readable || !IsNotFound(outcome.error) || FileMayExist(env_, path);
  return outcome;
}

AheadOutcome DigestAhead::DigestedAlone(Stream& file, DigestSet digests) {
  if (digests == DigestSet{DigestId::kMd5}) {
    DigestBytes digest;
    const int error = DigestOfOpenFile(file, digest);
    return Digested(digest, error);
  }
  AheadOutcome outcome;
  outcome.exists = outcome.readable = true;
  outcome.error = DigestsOfOpenFile(file, digests, outcome.values);
  return outcome;
}

AheadOutcome DigestAhead::Digested(const DigestBytes& digest, int error) {
  AheadOutcome outcome;
  outcome.exists = outcome.readable = true;
  outcome.error = error;
  if (error == 0) outcome.digest = DigestToLowerHex(digest);
  return outcome;
}

std::size_t DigestAhead::Claim(std::vector<Claimed>& held, std::size_t wanted) {
  std::lock_guard lock(mutex_);
  if (stopping_) return 0;
  // A worker fills its lanes before another takes files: a kernel with few
  // busy lanes costs as much CPU as a full one. Large files are spread by
  // handing them over once the lanes run thin (HandOver).
  const std::uint64_t count = std::min<std::uint64_t>({wanted, Unstarted(), free_files_});
  free_files_ -= count;
  for (std::uint64_t n = 0; n != count; ++n) {
    // held has room for a lane's worth: no allocation while the lock is held.
    const Slot& slot = slots_[next_to_start_ - taken_];
    held.push_back(Claimed{.number = next_to_start_,
                           .path = &slot.path,
                           .listed_regular = slot.listed_regular,
                           .folder = slot.folder.get(),
                           .name_at = slot.name_at,
                           .digests = slot.digests});
    ++next_to_start_;
  }
  return count;
}

void DigestAhead::Post(std::uint64_t number, AheadOutcome outcome) {
  std::lock_guard lock(mutex_);
  // A slot leaves only once its outcome is in, so this one is still queued.
  slots_[number - taken_].outcome = std::move(outcome);
  if (caller_waiting_ && number == taken_) outcome_ready_.notify_one();
  // Its file is closed: the descriptor it was counted for is free again, and
  // a worker that waited for one may go on.
  if (++free_files_ == 1 && Unstarted() != 0) {
    if (idle_workers_ > 0) work_ready_.notify_one();
    if (cold_) cold_ready_.notify_all();
  }
}

void DigestAhead::PostFault(std::vector<Claimed>& held, const std::exception_ptr& fault) {
  for (const Claimed& claimed : held) {
    AheadOutcome outcome;
    outcome.fault = fault;
    Post(claimed.number, std::move(outcome));
  }
  held.clear();
}

void DigestAhead::LetGo(std::vector<Claimed>& held, std::uint64_t number) {
  held.erase(std::find_if(held.begin(), held.end(), [&](const Claimed& c) { return c.number == number; }));
}

void DigestAhead::DigestClaimed(Hand& hand) {
  std::vector<Claimed>& held = hand.held;
  const auto let_go = [&](std::uint64_t number) { LetGo(held, number); };
  const auto post = [&](std::uint64_t number, AheadOutcome outcome) {
    Post(number, std::move(outcome));
    let_go(number);
  };
  try {
    if (!hand.lanes) {
      if (Claim(held, 1) == 0) return;  // another worker was first
      const Claimed claimed = held.back();
      std::unique_ptr<Stream> file;
      AheadOutcome outcome = Open(claimed, file);
      if (file) {
        outcome = DigestedAlone(*file, claimed.digests);
        file.reset();
      }
      post(claimed.number, std::move(outcome));
      return;
    }
    // FileLanes keeps several files in flight: take opens the next claimed
    // file for it, done hands in an outcome.
    const auto take = [&](FileLanes::File& file, std::size_t wanted) {
      // The readers follow the workers' reads: they start while those wait
      // on the disk, and take no more files once they no longer do.
      if (!hand.only_when_cold) {
        if (const bool cold = hand.lanes->cold(); cold != cold_.load(std::memory_order_relaxed)) {
          {
            std::lock_guard lock(mutex_);
            cold_ = cold;
          }
          if (cold) cold_ready_.notify_all();
        }
      }
      for (;;) {
        const auto next = std::find_if(held.begin(), held.end(), [](const Claimed& c) { return !c.opened; });
        if (next == held.end()) {
          if (hand.only_when_cold && !cold_.load(std::memory_order_relaxed)) return false;
          if (Claim(held, wanted) == 0) return false;
          continue;
        }
        next->opened = true;
        const std::uint64_t number = next->number;
        AheadOutcome outcome = Open(*next, file.stream);
        // The lanes are MD5's: another digest is read whole here, alone.
        if (file.stream && next->digests != DigestSet{DigestId::kMd5}) {
          outcome = DigestedAlone(*file.stream, next->digests);
          file.stream.reset();
        }
        if (file.stream && ToLongLanes(number, file.stream)) {
          let_go(number);
          continue;
        }
        if (file.stream) {
          file.tag = number;
          return true;
        }
        post(number, std::move(outcome));
      }
    };
    const auto done = [&](std::uint64_t number, const DigestBytes& digest, int error) {
      post(number, Digested(digest, error));
    };
    // Large files left in thin kernels go to the scalar engine of a worker
    // with nothing else to do, or into another worker's fuller kernel.
    FileLanes::HandOver hand_over;
    hand_over.take = [&](FileLanes::Rest&& rest) {
      const std::uint64_t number = rest.tag;
      {
        std::lock_guard lock(mutex_);
        rests_.push_back(std::move(rest));
      }
      let_go(number);
      work_ready_.notify_one();
    };
    hand_over.adopt = [&](FileLanes::Rest& rest, std::size_t busy) {
      {
        std::lock_guard lock(mutex_);
        if (rests_.empty() || busy + rests_.size() < 3) return false;
        rest = std::move(rests_.front());
        rests_.pop_front();
      }
      held.push_back(Claimed{.number = rest.tag, .path = nullptr, .opened = true});
      return true;
    };
    // While a kernel runs, files handed over wait for it to adopt them: an
    // idle worker takes one for its scalar engine only once no kernel runs.
    struct InKernel {
      DigestAhead& ahead;
      explicit InKernel(DigestAhead& a) : ahead(a) {
        std::lock_guard lock(ahead.mutex_);
        ++ahead.in_kernels_;
      }
      ~InKernel() {
        bool wake;
        {
          std::lock_guard lock(ahead.mutex_);
          wake = --ahead.in_kernels_ == 0 && !ahead.rests_.empty();
        }
        if (wake) ahead.work_ready_.notify_all();
      }
    } in_kernel(*this);
    hand.lanes->Run(take, done, stop_lanes_, &hand_over);
  } catch (...) {
    // The lanes have closed their files; none of those held gets a digest.
    PostFault(held, std::current_exception());
  }
}

bool DigestAhead::ToLongLanes(std::uint64_t number, std::unique_ptr<Stream>& file) {
  if (!long_hand_ || file->Size() < kOverlapFrom) return false;
  {
    std::lock_guard lock(mutex_);
    if (long_count_ == LaneCount(engine_)) return false;
    ++long_count_;
    long_files_.push_back(FileLanes::File{std::move(file), number});
  }
  long_ready_.notify_one();
  return true;
}

void DigestAhead::LongWork() {
  std::unique_lock lock(mutex_);
  for (;;) {
    long_ready_.wait(lock, [&] { return stopping_ || !long_files_.empty(); });
    if (stopping_) return;
    lock.unlock();
    RunLongLanes();
    lock.lock();
  }
}

void DigestAhead::RunLongLanes() {
  std::vector<Claimed>& held = long_hand_->held;
  const auto take = [&](FileLanes::File& file, std::size_t) {
    {
      std::lock_guard lock(mutex_);
      if (long_files_.empty()) return false;
      file = std::move(long_files_.front());
      long_files_.pop_front();
    }
    held.push_back(Claimed{.number = file.tag, .path = nullptr, .opened = true});
    return true;
  };
  const auto done = [&](std::uint64_t number, const DigestBytes& digest, int error) {
    Post(number, Digested(digest, error));
    LetGo(held, number);
    std::lock_guard lock(mutex_);
    --long_count_;
  };
  // While workers may still open large files, a file alone here goes on a
  // chunk at a time, so the next one joins it.
  const auto more_may_come = [&] {
    std::lock_guard lock(mutex_);
    return !long_files_.empty() || Claimable() || in_kernels_ != 0;
  };
  // Once the workers have nothing else, one of them takes the file with the
  // most left to its scalar engine; the rest stay on the narrow kernel. More
  // than the cores would only share them.
  FileLanes::HandOver hand_over;
  hand_over.take = [&](FileLanes::Rest&& rest) {
    LetGo(held, rest.tag);
    {
      std::lock_guard lock(mutex_);
      --long_count_;
      rests_.push_back(std::move(rest));
    }
    work_ready_.notify_one();
  };
  hand_over.wanted = [&] {
    std::lock_guard lock(mutex_);
    return idle_workers_ > 0 && !Claimable() && in_kernels_ == 0 && rests_.empty() &&
           finishing_rests_ + 1 < jobs_;
  };
  try {
    long_hand_->lanes->Run(take, done, stop_lanes_, &hand_over, more_may_come);
  } catch (...) {
    const std::size_t lost = held.size();
    PostFault(held, std::current_exception());
    std::lock_guard lock(mutex_);
    long_count_ -= lost;
  }
}

void DigestAhead::FinishRest(FileLanes::Rest& rest) {
  AheadOutcome outcome;
  try {
    const int error = FeedRestOfFile(rest.state, *rest.read);
    outcome = Digested(FinishDigest(rest.state), error);
  } catch (...) {
    outcome = AheadOutcome{};
    outcome.fault = std::current_exception();
  }
  rest.stream.reset();
  Post(rest.tag, std::move(outcome));
}

void DigestAhead::Work(Hand& hand) {
  std::unique_lock lock(mutex_);
  for (;;) {
    // Three files handed over or more make a kernel of their own.
    const auto rests_to_adopt = [&] { return hand.lanes && rests_.size() >= 3; };
    if (hand.only_when_cold) {
      // Not idle workers: a cached run never wakes them.
      cold_ready_.wait(lock, [&] { return stopping_ || (cold_ && Claimable()); });
    } else {
      ++idle_workers_;
      work_ready_.wait(lock, [&] {
        return stopping_ || Claimable() || rests_to_adopt() || (!rests_.empty() && in_kernels_ == 0);
      });
      --idle_workers_;
    }
    if (stopping_) return;
    if (!hand.only_when_cold && !Claimable() && !rests_to_adopt() && !rests_.empty() && in_kernels_ == 0) {
      FileLanes::Rest rest = std::move(rests_.front());
      rests_.pop_front();
      ++finishing_rests_;
      lock.unlock();
      FinishRest(rest);
      lock.lock();
      --finishing_rests_;
    } else {
      lock.unlock();
      DigestClaimed(hand);
      lock.lock();
    }
  }
}

AheadOutcome DigestAhead::TakeNext(const std::function<void()>& idle) {
  std::unique_lock lock(mutex_);
  if (slots_.empty()) return AheadOutcome{};
  while (!slots_.front().outcome) {
    if (WorkerToWake()) work_ready_.notify_all();
    caller_waiting_ = true;
    const bool ready =
        outcome_ready_.wait_for(lock, std::chrono::milliseconds(20), [&] { return slots_.front().outcome.has_value(); });
    caller_waiting_ = false;
    if (ready) break;
    if (idle) {
      lock.unlock();
      idle();
      lock.lock();
    }
  }
  AheadOutcome outcome = std::move(*slots_.front().outcome);
  // A folder let go here may close: not while the workers wait for the lock.
  const std::shared_ptr<const FolderHandle> folder = std::move(slots_.front().folder);
  slots_.pop_front();
  ++taken_;
  lock.unlock();
  return outcome;
}

}  // namespace quillora

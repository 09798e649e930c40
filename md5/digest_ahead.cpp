#include "md5/digest_ahead.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>

#include "md5/file_digest.h"
#include "md5/file_lanes.h"

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

DigestAhead::DigestAhead(Env& env, unsigned jobs, std::size_t max_ahead) : env_(env), engine_(ActiveLaneEngine()) {
  if (jobs == 0) jobs = DefaultJobs();
  // Enough queued work that no worker waits on the report, few enough that an
  // early end throws little away. Lanes need more: while the oldest file, a
  // large one, is still in its lane, the other lanes go through many small
  // files, and with too few queued they run dry and the kernel turns for one
  // busy lane (on the 20,000-file tree: 0.30 s with 64 per job, 0.16 s with
  // 512).
  const std::size_t lanes = LaneCount(engine_);
  max_ahead_ = max_ahead != 0 ? max_ahead : (lanes > 1 ? 32 * lanes : 64) * jobs;
  jobs_ = jobs;
  // With one job the caller digests each file in turn, on the scalar engine.
  const bool on_lanes = jobs > 1 && lanes > 1;
  hands_.resize(jobs);
  for (Hand& hand : hands_) {
    hand.held.reserve(lanes + 1);
    if (on_lanes) hand.lanes = std::make_unique<FileLanes>(engine_, kLaneChunk);
  }
  if (jobs == 1) return;
  workers_.reserve(jobs);
  try {
    for (Hand& hand : hands_) workers_.emplace_back([this, &hand] { Work(hand); });
  } catch (...) {  // no thread to be had: stop those started before rethrowing
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    work_ready_.notify_all();
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
  workers_.clear();  // joins
}

bool DigestAhead::HasRoom() const {
  std::lock_guard lock(mutex_);
  return slots_.size() < max_ahead_;
}

void DigestAhead::Submit(std::string path) {
  std::lock_guard lock(mutex_);
  slots_.push_back(Slot{std::move(path), std::nullopt});
}

void DigestAhead::Start() {
  bool wake;
  {
    std::lock_guard lock(mutex_);
    wake = WorkerToWake();
  }
  if (wake) work_ready_.notify_all();
}

AheadOutcome DigestAhead::Open(const std::string& path, std::unique_ptr<Stream>& file) {
  AheadOutcome outcome;
  outcome.error = env_.ReadabilityError(path);
  outcome.readable = outcome.error == 0;
  outcome.exists = outcome.readable || env_.FileExists(path);
  if (!outcome.readable) return outcome;
  try {
    file = env_.OpenForDigest(path);
  } catch (const SystemError& e) {
    outcome.error = e.number();
  }
  return outcome;
}

AheadOutcome DigestAhead::Digested(const DigestBytes& digest, int error) {
  AheadOutcome outcome;
  outcome.exists = outcome.readable = true;
  outcome.error = error;
  if (error == 0) outcome.digest = LowerDigestText(digest);
  return outcome;
}

std::size_t DigestAhead::Claim(std::vector<Claimed>& held, std::size_t wanted) {
  std::lock_guard lock(mutex_);
  if (stopping_) return 0;
  // Each worker holds at most its fair part of the files queued and in
  // flight, so a few large files spread over every core instead of filling
  // the lanes of whichever worker came first.
  const std::uint64_t waiting = Unstarted();
  const std::uint64_t fair = (waiting + in_flight_ + jobs_ - 1) / jobs_;
  const std::uint64_t count =
      std::min<std::uint64_t>({wanted, waiting, fair > held.size() ? fair - held.size() : 0});
  for (std::uint64_t n = 0; n != count; ++n) {
    // held has room for a lane's worth: no allocation while the lock is held.
    held.push_back(Claimed{next_to_start_, &slots_[next_to_start_ - taken_].path});
    ++next_to_start_;
    ++in_flight_;
  }
  return count;
}

void DigestAhead::Post(std::uint64_t number, AheadOutcome outcome) {
  std::lock_guard lock(mutex_);
  --in_flight_;
  // A slot leaves only once its outcome is in, so this one is still queued.
  slots_[number - taken_].outcome = std::move(outcome);
  if (caller_waiting_ && number == taken_) outcome_ready_.notify_one();
}

void DigestAhead::DigestClaimed(Hand& hand) {
  std::vector<Claimed>& held = hand.held;
  const auto post = [&](std::uint64_t number, AheadOutcome outcome) {
    Post(number, std::move(outcome));
    held.erase(std::find_if(held.begin(), held.end(), [&](const Claimed& c) { return c.number == number; }));
  };
  try {
    if (!hand.lanes) {
      if (Claim(held, 1) == 0) return;  // another worker was first
      const Claimed claimed = held.back();
      std::unique_ptr<Stream> file;
      AheadOutcome outcome = Open(*claimed.path, file);
      if (file) {
        DigestBytes digest;
        const int error = DigestOfOpenFile(*file, digest);
        file.reset();
        outcome = Digested(digest, error);
      }
      post(claimed.number, std::move(outcome));
      return;
    }
    // FileLanes keeps several files in flight: take opens the next claimed
    // file for it, done hands in an outcome.
    const auto take = [&](FileLanes::File& file, std::size_t wanted) {
      for (;;) {
        const auto next = std::find_if(held.begin(), held.end(), [](const Claimed& c) { return !c.opened; });
        if (next == held.end()) {
          if (Claim(held, wanted) == 0) return false;
          continue;
        }
        next->opened = true;
        const std::uint64_t number = next->number;
        AheadOutcome outcome = Open(*next->path, file.stream);
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
    hand.lanes->Run(take, done, stop_lanes_);
  } catch (...) {
    // The lanes have closed their files; none of those held gets a digest.
    const std::exception_ptr fault = std::current_exception();
    for (const Claimed& claimed : held) {
      AheadOutcome outcome;
      outcome.fault = fault;
      Post(claimed.number, std::move(outcome));
    }
    held.clear();
  }
}

void DigestAhead::Work(Hand& hand) {
  std::unique_lock lock(mutex_);
  for (;;) {
    ++idle_workers_;
    work_ready_.wait(lock, [&] { return stopping_ || Unstarted() != 0; });
    --idle_workers_;
    if (stopping_) return;
    lock.unlock();
    DigestClaimed(hand);
    lock.lock();
  }
}

AheadOutcome DigestAhead::TakeNext(const std::function<void()>& idle) {
  std::unique_lock lock(mutex_);
  if (slots_.empty()) return AheadOutcome{};
  if (workers_.empty()) {  // in turn: the oldest file is the next to claim
    lock.unlock();
    DigestClaimed(hands_.front());
    lock.lock();
  }
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
  slots_.pop_front();
  ++taken_;
  return outcome;
}

}  // namespace quillora

#include "md5/digest_ahead.h"

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
  if (jobs == 1) return;
  workers_.reserve(jobs);
  for (unsigned i = 0; i < jobs; ++i) workers_.emplace_back([this] { Work(); });
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

AheadOutcome DigestAhead::Test(const std::string& path) {
  AheadOutcome outcome;
  outcome.error = env_.ReadabilityError(path);
  outcome.readable = outcome.error == 0;
  outcome.exists = outcome.readable || env_.FileExists(path);
  return outcome;
}

AheadOutcome DigestAhead::Compute(const std::string& path) {
  AheadOutcome outcome = Test(path);
  if (!outcome.readable) return outcome;
  try {
    outcome.digest = FileDigestText(path, env_);
  } catch (const SystemError& e) {
    outcome.error = e.number();
  } catch (...) {
    outcome.fault = std::current_exception();
  }
  return outcome;
}

std::size_t DigestAhead::Claim(std::deque<Claimed>& batch, std::size_t wanted, std::size_t held) {
  std::lock_guard lock(mutex_);
  if (stopping_) return 0;
  // Each worker holds at most its fair part of the files queued and in
  // flight, so a few large files spread over every core instead of filling
  // the lanes of whichever worker came first.
  const std::uint64_t waiting = Unstarted();
  const std::uint64_t fair = (waiting + in_flight_ + jobs_ - 1) / jobs_;
  const std::uint64_t count = std::min<std::uint64_t>({wanted, waiting, fair > held ? fair - held : 0});
  for (std::uint64_t n = 0; n != count; ++n) {
    batch.push_back(Claimed{next_to_start_, slots_[next_to_start_ - taken_].path});
    ++next_to_start_;
  }
  in_flight_ += count;
  return count;
}

void DigestAhead::Post(std::uint64_t number, AheadOutcome outcome) {
  std::lock_guard lock(mutex_);
  --in_flight_;
  // A slot leaves only once its outcome is in, so this one is still queued.
  slots_[number - taken_].outcome = std::move(outcome);
  if (caller_waiting_ && number == taken_) outcome_ready_.notify_one();
}

void DigestAhead::Work() {
  // On a lane engine, FileLanes keeps several files in flight; take opens the
  // next claimed file for it, done hands in an outcome.
  std::unique_ptr<FileLanes> lanes;
  if (LaneCount(engine_) > 1) lanes = std::make_unique<FileLanes>(engine_, kLaneChunk);
  std::deque<Claimed> batch;
  std::size_t held = 0;  // files this worker claimed and has not posted
  const auto post = [&](std::uint64_t number, AheadOutcome outcome) {
    Post(number, std::move(outcome));
    --held;
  };
  const auto take = [&](FileLanes::File& file, std::size_t wanted) {
    for (;;) {
      if (batch.empty()) held += Claim(batch, wanted, held);
      if (batch.empty()) return false;
      Claimed claimed = std::move(batch.front());
      batch.pop_front();
      // The same test, facts and errors as Compute, with the open file kept.
      AheadOutcome outcome = Test(claimed.path);
      if (outcome.readable) {
        try {
          file.stream = env_.OpenForDigest(claimed.path);
        } catch (const SystemError& e) {
          outcome.error = e.number();
        }
      }
      if (!file.stream) {
        post(claimed.number, std::move(outcome));
        continue;
      }
      file.tag = claimed.number;
      return true;
    }
  };
  const auto done = [&](std::uint64_t number, const DigestBytes& digest, int error) {
    AheadOutcome outcome;
    outcome.exists = outcome.readable = true;
    if (error == 0) {
      outcome.digest = DigestToHex(digest);
    } else {
      outcome.error = error;
    }
    post(number, std::move(outcome));
  };

  std::unique_lock lock(mutex_);
  for (;;) {
    ++idle_workers_;
    work_ready_.wait(lock, [&] { return stopping_ || Unstarted() != 0; });
    --idle_workers_;
    if (stopping_) return;
    lock.unlock();
    if (lanes) {
      lanes->Run(take, done, stop_lanes_);
    } else {
      held += Claim(batch, 1, held);  // none when another worker was first
      for (const Claimed& claimed : batch) post(claimed.number, Compute(claimed.path));
      batch.clear();
    }
    lock.lock();
  }
}

AheadOutcome DigestAhead::TakeNext(const std::function<void()>& idle) {
  std::unique_lock lock(mutex_);
  if (slots_.empty()) return AheadOutcome{};
  if (workers_.empty()) {
    const std::string path = std::move(slots_.front().path);
    slots_.pop_front();
    ++taken_;
    lock.unlock();
    return Compute(path);
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

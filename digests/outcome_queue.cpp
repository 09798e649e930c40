#include "digests/outcome_queue.h"

#include <algorithm>
#include <cassert>
#include <chrono>
#include <exception>
#include <memory>

#include "platform/errors.h"

namespace quillora {

AheadOutcome OpenToDigest(Env& env, const FileToOpen& file, std::unique_ptr<Stream>& stream) {
  AheadOutcome outcome;
  int open_error = 0;
  try {
    stream = env.OpenListedForDigest(file);
    outcome.exists = outcome.readable = true;
    return outcome;
  } catch (const SystemError& e) {
    open_error = e.number();
  }
  outcome.error = ReadabilityError(env, file.path);
  outcome.readable = outcome.error == 0;
  if (outcome.readable) outcome.error = open_error;
  // Whatever stands there, a folder or a FIFO too, is something that could
  // not be opened; only a lookup that found no entry says nothing is there
  // (a link that leads nowhere is still an entry).
  outcome.exists = outcome.readable || !IsNotFound(outcome.error) || FileMayExist(env, file.path);
  return outcome;
}

AheadOutcome ReadOutcome(DigestValues values, std::uint64_t size, int error) {
  AheadOutcome outcome;
  outcome.exists = outcome.readable = true;
  outcome.error = error;
  if (error == 0) {
    outcome.values = std::move(values);
    outcome.size = size;
  }
  return outcome;
}

OutcomeQueue::OutcomeQueue(std::size_t max_queued, std::size_t open_files, std::function<void()> on_claimable)
    : max_queued_(max_queued), on_claimable_(std::move(on_claimable)), free_files_(std::max<std::size_t>(1, open_files)) {}

bool OutcomeQueue::HasRoom() const {
  MutexLock lock(mutex_);
  return slots_.size() < max_queued_;
}

void OutcomeQueue::Submit(const DigestRequest& request) {
  assert(request.file != nullptr);
  Slot slot{*request.file, request.digests, std::nullopt};  // copied before the lock the workers wait on
  MutexLock lock(mutex_);
  slots_.push_back(std::move(slot));
}

void OutcomeQueue::Release() {
  if (Claimable()) on_claimable_();
}

bool OutcomeQueue::ClaimableLocked() const { return !stopped_ && Unclaimed() != 0 && free_files_ != 0; }

bool OutcomeQueue::Claimable() const {
  MutexLock lock(mutex_);
  return ClaimableLocked();
}

std::size_t OutcomeQueue::ClaimFiles(std::vector<Claim>& claims, std::size_t wanted) {
  MutexLock lock(mutex_);
  if (stopped_) return 0;
  const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>({wanted, Unclaimed(), free_files_}));
  free_files_ -= count;
  std::size_t n = 0;
  if (count != 0 && now_ && !now_claimed_) {  // ahead of every file queued
    now_claimed_ = true;
    claims.push_back(Claim{kNowNumber, &now_->file, now_->digests});
    ++n;
  }
  for (; n != count; ++n, ++next_to_claim_) {
    // claims has room reserved by its owner: nothing is allocated under the lock.
    const Slot& slot = slots_[next_to_claim_ - taken_];
    claims.push_back(Claim{next_to_claim_, &slot.file, slot.digests});
  }
  return count;
}

void OutcomeQueue::Post(std::uint64_t number, AheadOutcome outcome) {
  bool wake;
  {
    MutexLock lock(mutex_);
    if (number == kNowNumber) {
      assert(now_ && now_claimed_ && !now_->outcome);
      now_->outcome = std::move(outcome);
      outcome_ready_.NotifyOne();
    } else {
      // A slot leaves only once its outcome is in and taken: this one is still queued, and was claimed.
      assert(number >= taken_ && number < next_to_claim_);
      Slot& slot = slots_[number - taken_];
      assert(!slot.outcome);
      slot.outcome = std::move(outcome);
      if (caller_waiting_ && number == taken_) outcome_ready_.NotifyOne();
    }
    // Its file is closed: the descriptor it was counted for is free again.
    wake = ++free_files_ == 1 && ClaimableLocked();
  }
  if (wake) on_claimable_();
}

void OutcomeQueue::AwaitOutcome(const Slot& slot, const std::function<void()>& idle) {
  while (!slot.outcome) {
    caller_waiting_ = true;
    outcome_ready_.WaitFor(mutex_, std::chrono::milliseconds(20));
    caller_waiting_ = false;
    if (slot.outcome) break;
    const bool nudge = ClaimableLocked();
    mutex_.Unlock();  // idle may pump a window, and throw
    std::exception_ptr thrown;
    try {
      if (nudge) on_claimable_();  // workers asleep with work waiting would hold the job up
      if (idle) idle();
    } catch (...) {
      thrown = std::current_exception();
    }
    mutex_.Lock();
    if (thrown) std::rethrow_exception(thrown);
  }
}

AheadOutcome OutcomeQueue::TakeNext(const std::function<void()>& idle) {
  std::optional<Slot> taken;  // let go after the lock: its folder may close
  {
    MutexLock lock(mutex_);
    if (slots_.empty()) return AheadOutcome{};
    AwaitOutcome(slots_.front(), idle);
    taken.emplace(std::move(slots_.front()));
    slots_.pop_front();
    ++taken_;
  }
  return std::move(*taken->outcome);
}

AheadOutcome OutcomeQueue::Now(const DigestRequest& request, const std::function<void()>& idle) {
  assert(request.file != nullptr);
  Slot slot{*request.file, request.digests, std::nullopt};  // copied before the lock the workers wait on
  {
    MutexLock lock(mutex_);
    assert(!now_);
    now_.emplace(std::move(slot));
    now_claimed_ = false;
  }
  on_claimable_();
  std::optional<Slot> done;  // let go after the lock: its folder may close
  {
    MutexLock lock(mutex_);
    try {
      AwaitOutcome(*now_, idle);
    } catch (...) {
      // A claim under way holds the slot's file: it goes once the outcome is in.
      while (now_claimed_ && !now_->outcome) outcome_ready_.WaitFor(mutex_, std::chrono::milliseconds(20));
      now_.reset();
      throw;
    }
    done = std::move(now_);
    now_.reset();
  }
  return std::move(*done->outcome);
}

void OutcomeQueue::Stop() {
  MutexLock lock(mutex_);
  stopped_ = true;
}

}  // namespace quillora

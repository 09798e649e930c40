#include "digests/digest_scheduler.h"

#include <algorithm>
#include <cassert>
#include <thread>
#include <utility>

#include "digests/fault_boundary.h"
#include "digests/lane_kernel.h"  // kMaxLanes
#include "digests/single_digester.h"

namespace quillora {

// What one thread that digests holds. Made before the thread starts, so a
// thread never allocates for it.
struct DigestScheduler::Hand {
  std::unique_ptr<Digester> digester;
  std::vector<OutcomeQueue::Claim> claims;  // claimed, opened up to next_claim
  std::size_t next_claim = 0;
  // Every file it claimed or adopted and has not handed in or on: what a
  // fault is posted to.
  std::vector<std::uint64_t> holding;
  bool only_when_cold = false;  // a reader's
};

// A hand's side of the seam: its files, and the lanes' exchange with the
// other threads.
class DigestScheduler::Source final : public FileSource, public LaneExchange {
 public:
  Source(DigestScheduler& scheduler, Hand& hand) : scheduler_(scheduler), hand_(hand) {}

  bool Next(OpenedFile& file, std::size_t wanted) override {
    scheduler_.FollowCold(hand_);
    for (;;) {
      if (hand_.next_claim == hand_.claims.size() && !Claim(wanted)) return false;
      const OutcomeQueue::Claim claim = hand_.claims[hand_.next_claim++];
      AheadOutcome outcome = OpenToDigest(scheduler_.env_, *claim.file, file.stream);
      if (file.stream && file.stream->Unsettled().count() > 0) {
        outcome = DigestedTwice(scheduler_.env_, *claim.file, claim.digests, std::move(file.stream));
      } else if (file.stream) {
        file.number = claim.number;
        file.digests = claim.digests;
        return true;
      }
      Done(claim.number, std::move(outcome));
    }
  }
  void Done(std::uint64_t number, AheadOutcome outcome) override {
    scheduler_.queue_.Post(number, std::move(outcome));
    LetGoOf(hand_.holding, number);
  }
  void HandOver(FileLanes::Rest&& rest) override {
    LetGoOf(hand_.holding, rest.tag);
    scheduler_.HandOver(std::move(rest));
  }
  bool Adopt(FileLanes::Rest& rest, DigestId family, std::size_t busy) override {
    if (!scheduler_.TakeHandedOver(rest, family, busy)) return false;
    hand_.holding.push_back(rest.tag);
    return true;
  }
  bool FinisherWaiting() override { return scheduler_.FinisherWaiting(); }
  bool MoreMayCome() override { return scheduler_.WorkersMayOpenMore(); }
  bool ToLongLanes(OpenedFile& file) override {
    const std::uint64_t number = file.number;
    if (scheduler_.long_lanes_ == nullptr || !scheduler_.long_lanes_->Take(file)) return false;
    LetGoOf(hand_.holding, number);
    return true;
  }
  FileLanes::Feed::Sharing sharing() const override { return FileLanes::Feed::Sharing::kWorker; }

 private:
  bool Claim(std::size_t wanted) {
    if (hand_.only_when_cold && !scheduler_.cold_.load(std::memory_order_relaxed)) return false;
    hand_.claims.clear();
    hand_.next_claim = 0;
    const std::size_t count = scheduler_.queue_.ClaimFiles(hand_.claims, wanted);
    for (const OutcomeQueue::Claim& claim : hand_.claims) hand_.holding.push_back(claim.number);
    return count != 0;
  }

  DigestScheduler& scheduler_;
  Hand& hand_;
};

DigestScheduler::DigestScheduler(Env& env, OutcomeQueue& queue, Shape shape, const MakeDigester& make_digester)
    : env_(env), queue_(queue), finishers_(shape.finishers) {
  const unsigned threads = shape.workers + shape.readers;
  for (unsigned i = 0; i < threads; ++i) {
    auto hand = std::make_unique<Hand>();
    hand->digester = make_digester(stopping_);
    // A lane's worth claimed, as many in the lanes, one read alone.
    hand->claims.reserve(2 * kMaxLanes + 1);
    hand->holding.reserve(4 * kMaxLanes + 2);
    hand->only_when_cold = i >= shape.workers;
    hands_.push_back(std::move(hand));
  }
}

DigestScheduler::~DigestScheduler() { Stop(); }

void DigestScheduler::Start(LongLanes* long_lanes) {
  long_lanes_ = long_lanes;
  threads_.reserve(hands_.size());
  try {
    for (const auto& hand : hands_) threads_.emplace_back([this, h = hand.get()] { Work(*h); });
  } catch (...) {  // no thread to be had: stop those started before passing it on
    Stop();
    throw;
  }
}

void DigestScheduler::Stop() {
  {
    MutexLock lock(mutex_);
    stopping_ = true;
  }
  work_ready_.NotifyAll();
  cold_ready_.NotifyAll();
  threads_.clear();  // joins
}

void DigestScheduler::Wake() {
  {
    MutexLock lock(mutex_);  // a thread between its look and its sleep is asleep by now
  }
  work_ready_.NotifyAll();
  if (cold_) cold_ready_.NotifyAll();
}

bool DigestScheduler::HasWork(const Hand& hand) const {
  return queue_.Claimable() || Gathers(hand) || (!handed_over_.empty() && counts_.digesting == 0);
}

bool DigestScheduler::Gathers(const Hand& hand) const {
  return hand.digester->adopts() && handed_over_.size() >= 3;
}

bool DigestScheduler::WaitForWork(const Hand& hand) {
  if (hand.only_when_cold) {
    // Not idle workers: a cached run never wakes them.
    while (!stopping_ && !(cold_ && queue_.Claimable())) cold_ready_.Wait(mutex_);
  } else {
    ++counts_.idle;
    while (!stopping_ && !HasWork(hand)) work_ready_.Wait(mutex_);
    --counts_.idle;
  }
  return !stopping_;
}

std::optional<FileLanes::Rest> DigestScheduler::ToFinish(const Hand& hand) {
  if (hand.only_when_cold || handed_over_.empty() || counts_.digesting != 0 || Gathers(hand) || queue_.Claimable())
    return std::nullopt;
  std::optional<FileLanes::Rest> file(std::move(handed_over_.front()));
  handed_over_.pop_front();
  return file;
}

void DigestScheduler::Work(Hand& hand) {
  for (;;) {
    std::optional<FileLanes::Rest> file;
    {
      MutexLock lock(mutex_);
      if (!WaitForWork(hand)) return;
      file = ToFinish(hand);
      ++(file ? counts_.finishing : counts_.digesting);
    }
    if (file) {
      Finish(*file);
      MutexLock lock(mutex_);
      --counts_.finishing;
    } else {
      RunDigester(hand);
    }
  }
}

void DigestScheduler::RunDigester(Hand& hand) {
  Source source(*this, hand);
  PostingFaults(queue_, hand.holding, [&] { hand.digester->Run(source, source); });
  assert(hand.holding.empty());
  hand.claims.clear();
  hand.next_claim = 0;
  bool wake;
  {
    MutexLock lock(mutex_);
    // Files handed over wait while a digester may take them in: an idle
    // worker finishes one alone only once none runs.
    wake = --counts_.digesting == 0 && !handed_over_.empty();
  }
  if (wake) work_ready_.NotifyAll();
}

void DigestScheduler::Finish(FileLanes::Rest& file) {
  std::vector<std::uint64_t> holding{file.tag};
  PostingFaults(queue_, holding, [&] {
    AheadOutcome outcome = FinishedAlone(file);
    queue_.Post(file.tag, std::move(outcome));
    holding.clear();
  });
}

void DigestScheduler::HandOver(FileLanes::Rest&& file) {
  {
    MutexLock lock(mutex_);
    handed_over_.push_back(std::move(file));
  }
  work_ready_.NotifyOne();
}

bool DigestScheduler::TakeHandedOver(FileLanes::Rest& rest, DigestId family, std::size_t busy) {
  MutexLock lock(mutex_);
  // Three or more make a kernel's worth of their own, or join one that runs
  // anyway; fewer would go back and forth.
  const auto of_family = [family](const FileLanes::Rest& r) { return DigestOfState(r.state) == family; };
  const auto first = std::find_if(handed_over_.begin(), handed_over_.end(), of_family);
  if (first == handed_over_.end() ||
      busy + static_cast<std::size_t>(std::count_if(first, handed_over_.end(), of_family)) < 3)
    return false;
  rest = std::move(*first);
  handed_over_.erase(first);
  return true;
}

bool DigestScheduler::FinisherWaiting() {
  MutexLock lock(mutex_);
  // More than the cores would only share them, with the long lanes and
  // their reader.
  return counts_.idle > 0 && !queue_.Claimable() && counts_.digesting == 0 && handed_over_.empty() &&
         counts_.finishing + 1 < finishers_;
}

bool DigestScheduler::WorkersMayOpenMore() {
  MutexLock lock(mutex_);
  return queue_.Claimable() || counts_.digesting != 0;
}

void DigestScheduler::FollowCold(const Hand& hand) {
  if (hand.only_when_cold) return;
  const bool cold = hand.digester->cold();
  if (cold == cold_.load(std::memory_order_relaxed)) return;
  {
    MutexLock lock(mutex_);
    cold_ = cold;
  }
  if (cold) cold_ready_.NotifyAll();
}

}  // namespace quillora

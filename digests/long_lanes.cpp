#include "digests/long_lanes.h"

#include <algorithm>
#include <cassert>

#include "digests/fault_boundary.h"
#include "digests/lane_digester.h"

namespace quillora {

// The long lanes' side of the seam: files come from those waiting, not from
// the queue, and go to a worker's thread only when one is free.
class LongLanes::Source final : public FileSource, public LaneExchange {
 public:
  explicit Source(LongLanes& lanes) : lanes_(lanes) {}
  bool Next(OpenedFile& file, std::size_t) override {
    MutexLock lock(lanes_.mutex_);
    if (lanes_.waiting_.empty()) return false;
    file = std::move(lanes_.waiting_.front());
    lanes_.waiting_.pop_front();
    lanes_.holding_.push_back(file.number);
    return true;
  }
  void Done(std::uint64_t number, AheadOutcome outcome) override {
    lanes_.queue_.Post(number, std::move(outcome));
    LetGo(number);
  }
  void HandOver(FileLanes::Rest&& rest) override {
    LetGo(rest.tag);
    lanes_.peers_.HandOver(std::move(rest));
  }
  bool Adopt(FileLanes::Rest&, DigestId, std::size_t) override { return false; }
  bool FinisherWaiting() override { return lanes_.peers_.FinisherWaiting(); }
  bool MoreMayCome() override {
    {
      MutexLock lock(lanes_.mutex_);
      if (!lanes_.waiting_.empty()) return true;
    }
    return lanes_.peers_.WorkersMayOpenMore();
  }
  bool ToLongLanes(OpenedFile&) override { return false; }
  FileLanes::Feed::Sharing sharing() const override { return FileLanes::Feed::Sharing::kLongLanes; }

 private:
  void LetGo(std::uint64_t number) {
    LetGoOf(lanes_.holding_, number);
    MutexLock lock(lanes_.mutex_);
    --lanes_.count_;
  }
  LongLanes& lanes_;
};

LongLanes::LongLanes(OutcomeQueue& queue, LongLanesPeers& peers, std::size_t capacity)
    : queue_(queue),
      peers_(peers),
      capacity_(capacity),
      digester_(std::make_unique<LaneDigester>(stop_, /*long_lanes=*/true)) {
  holding_.reserve(capacity_);
  thread_ = std::jthread([this] { Work(); });
}

LongLanes::~LongLanes() {
  {
    MutexLock lock(mutex_);
    stop_ = true;
  }
  ready_.NotifyAll();
  if (thread_.joinable()) thread_.join();
}

bool LongLanes::Take(OpenedFile& file) {
  {
    MutexLock lock(mutex_);
    if (count_ == capacity_) return false;
    ++count_;
    waiting_.push_back(std::move(file));
  }
  ready_.NotifyOne();
  return true;
}

void LongLanes::Work() {
  for (;;) {
    {
      MutexLock lock(mutex_);
      while (!stop_ && waiting_.empty()) ready_.Wait(mutex_);
      if (stop_) return;
    }
    Source source(*this);
    PostingFaults(queue_, holding_, [&] { digester_->Run(source, source); });
    // Files a fault ended were posted by the boundary: they count no more.
    MutexLock lock(mutex_);
    count_ = waiting_.size() + holding_.size();
  }
}

}  // namespace quillora

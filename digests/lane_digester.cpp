#include "digests/lane_digester.h"

#include <algorithm>
#include <utility>

#include "digests/single_digester.h"

namespace quillora {

// One family's lanes' side of the source and the exchange.
class LaneDigester::Feed final : public FileLanes::Feed {
 public:
  Feed(LaneDigester& digester, FileSource& source, LaneExchange& exchange, DigestId family)
      : digester_(digester), source_(source), exchange_(exchange), family_(family) {}

  bool Take(FileLanes::File& file, std::size_t wanted) override {
    OpenedFile opened;
    std::deque<OpenedFile>& waiting = digester_.FamilyOf(family_).waiting;
    if (!waiting.empty()) {
      opened = std::move(waiting.front());
      waiting.pop_front();
    } else if (!digester_.NextForLanes(source_, exchange_, &family_, opened, wanted)) {
      return false;
    }
    file = FileLanes::File{std::move(opened.stream), opened.number};
    return true;
  }
  void Done(std::uint64_t tag, const DigestValue& digest, std::uint64_t bytes, int error) override {
    source_.Done(tag, ReadOutcome({{family_, digest}}, bytes, error));
  }
  Sharing sharing() const override { return exchange_.sharing(); }
  void Give(FileLanes::Rest&& rest) override { exchange_.HandOver(std::move(rest)); }
  bool Adopt(FileLanes::Rest& rest, DigestId family, std::size_t busy) override {
    return exchange_.Adopt(rest, family, busy);
  }
  bool FinisherWaiting() override { return exchange_.FinisherWaiting(); }
  bool MoreMayCome() override { return exchange_.MoreMayCome(); }

 private:
  LaneDigester& digester_;
  FileSource& source_;
  LaneExchange& exchange_;
  DigestId family_;
};

LaneDigester::LaneDigester(const std::atomic<bool>& stop, bool long_lanes) : stop_(stop), long_lanes_(long_lanes) {}

LaneDigester::~LaneDigester() = default;

LaneDigester::Family& LaneDigester::FamilyOf(DigestId digest) {
  for (auto& [id, family] : families_) {
    if (id == digest) return family;
  }
  return families_.emplace_back(digest, Family{}).second;
}

bool LaneDigester::NextForLanes(FileSource& source, LaneExchange& exchange, const DigestId* only, OpenedFile& file,
                                std::size_t wanted) {
  while (source.Next(file, wanted)) {
    const std::optional<DigestId> laned = LanedDigest(file.digests);
    if (!laned) {  // no lanes for it: read whole right away
      AheadOutcome outcome = DigestedAlone(*file.stream, file.digests);
      file.stream.reset();
      source.Done(file.number, std::move(outcome));
      continue;
    }
    if (!long_lanes_ && file.stream->Size() >= kOverlapFrom && exchange.ToLongLanes(file)) continue;
    if (only == nullptr || *laned == *only) return true;
    FamilyOf(*laned).waiting.push_back(std::move(file));
  }
  return false;
}

void LaneDigester::Run(FileSource& source, LaneExchange& exchange) {
  // However the run ends, no file waiting for its family's turn stays open.
  struct CloseWaiting {
    LaneDigester& digester;
    ~CloseWaiting() {
      for (auto& entry : digester.families_) entry.second.waiting.clear();
    }
  } close_waiting{*this};
  while (!stop_.load(std::memory_order_relaxed)) {
    auto turn = std::find_if(families_.begin(), families_.end(), [](const auto& f) { return !f.second.waiting.empty(); });
    DigestId digest;
    if (turn != families_.end()) {
      digest = turn->first;
    } else {
      OpenedFile first;
      if (!NextForLanes(source, exchange, nullptr, first, 1)) return;
      digest = *LanedDigest(first.digests);
      FamilyOf(digest).waiting.push_front(std::move(first));
    }
    Family& family = FamilyOf(digest);
    if (!family.lanes) {
      family.lanes = std::make_unique<FileLanes>(*ActiveKernel(digest), long_lanes_ ? kApartChunk : kLaneChunk,
                                                 /*reads_apart=*/long_lanes_);
    }
    Feed feed(*this, source, exchange, digest);
    family.lanes->Run(feed, stop_);
  }
}

bool LaneDigester::cold() const {
  return std::any_of(families_.begin(), families_.end(),
                     [](const auto& f) { return f.second.lanes && f.second.lanes->cold(); });
}

}  // namespace quillora

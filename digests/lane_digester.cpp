#include "digests/lane_digester.h"

#include <cassert>
#include <memory>
#include <utility>

#include "digests/single_digester.h"

namespace quillora {
namespace {

// A lane's file taken out of it as a scalar state: any thread may finish it
// on the scalar engine, and a LaneDigester may take it into a lane again.
class LaneRest final : public Unfinished {
 public:
  explicit LaneRest(FileLanes::Rest&& rest) : rest_(std::move(rest)) {}
  std::uint64_t number() const override { return rest_.tag; }
  AheadOutcome Finish() override {
    const int error = FeedRestOfFile(rest_.state, *rest_.read);
    AheadOutcome outcome = Md5Outcome(FinishDigest(rest_.state), error);
    rest_.stream.reset();
    return outcome;
  }
  FileLanes::Rest& rest() { return rest_; }

 private:
  FileLanes::Rest rest_;
};

}  // namespace

LaneDigester::LaneDigester(LaneEngine engine, const std::atomic<bool>& stop, bool long_lanes)
    : lanes_(engine, long_lanes ? kApartChunk : kLaneChunk, /*reads_apart=*/long_lanes),
      stop_(stop),
      long_lanes_(long_lanes) {}

void LaneDigester::Run(FileSource& source) {
  const auto take = [&](FileLanes::File& file, std::size_t wanted) {
    OpenedFile opened;
    while (source.Next(opened, wanted)) {
      if (opened.digests != DigestSet{DigestId::kMd5}) {  // not for MD5's lanes
        AheadOutcome outcome = DigestedAlone(*opened.stream, opened.digests);
        opened.stream.reset();
        source.Done(opened.number, std::move(outcome));
        continue;
      }
      if (!long_lanes_ && opened.stream->Size() >= kOverlapFrom && source.ToLongLanes(opened)) continue;
      file = FileLanes::File{std::move(opened.stream), opened.number};
      return true;
    }
    return false;
  };
  const auto done = [&](std::uint64_t number, const DigestBytes& digest, int error) {
    source.Done(number, Md5Outcome(digest, error));
  };
  FileLanes::HandOver hand_over;
  hand_over.give = [&](FileLanes::Rest&& rest) { source.HandOver(std::make_unique<LaneRest>(std::move(rest))); };
  if (long_lanes_) {
    // Once the workers are idle, one of them takes the file with the most
    // left to its scalar engine; the rest stay on the narrow kernel.
    hand_over.wanted = [&] { return source.FinisherWaiting(); };
  } else {
    hand_over.adopt = [&](FileLanes::Rest& rest, std::size_t busy) {
      std::unique_ptr<Unfinished> given = source.Adopt(busy);
      if (!given) return false;
      // Only lanes give files away, so only their rests come back.
      auto* lane_rest = dynamic_cast<LaneRest*>(given.get());
      assert(lane_rest != nullptr);
      rest = std::move(lane_rest->rest());
      return true;
    };
  }
  // While workers may still open large files, a file alone in the long lanes
  // goes on a chunk at a time, so the next one joins it.
  const auto more_may_come = [&] { return source.MoreMayCome(); };
  lanes_.Run(take, done, stop_, &hand_over, long_lanes_ ? std::function<bool()>(more_may_come) : nullptr);
}

}  // namespace quillora

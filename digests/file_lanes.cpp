#include "digests/file_lanes.h"

#include <algorithm>
#include <cassert>
#include <chrono>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>
#include <optional>
#include <span>

#include "digests/chunk_reader.h"

namespace quillora {
namespace {

constexpr std::chrono::microseconds kSlowRead{100};
// Reads are taken to wait on the disk while more than about one in four did
// of late (slow_reads_ settles at 16 times the share in sixteenths).
constexpr unsigned kColdFrom = 64;
// Room before each half of a lane's buffer for the bytes short of a block
// that the half before left, so that they and the next half's are one run.
constexpr std::size_t kCarryRoom = kLaneBlock;

}  // namespace

struct FileLanes::Lane {
  std::unique_ptr<Stream> stream;   // null while the lane is free
  std::optional<BoundedRead> read;  // of stream; the reader's while next_pending
  std::uint64_t tag = 0;
  std::uint64_t hashed = 0;  // bytes through the kernel, whole blocks
  std::uint64_t size = 0;    // at open: size - hashed are left to hash, read or not
  // Bytes read and not yet hashed: bytes[begin, end), in the half in use
  // (with the carry from the half before).
  std::uint8_t* bytes = nullptr;
  std::size_t begin = 0;
  std::size_t end = 0;
  std::size_t half = 0;
  // With reads on the second thread: the other half is being read, or holds
  // next_bytes bytes read, which follow bytes[begin, end).
  bool next_pending = false;
  std::size_t next_bytes = 0;
};

FileLanes::FileLanes(const KernelInfo& kernel, std::size_t chunk_bytes, bool reads_apart)
    : info_(kernel),
      kernel_(kernel.make()),
      lanes_(kernel.lanes),
      narrow_(kernel.narrow_lanes < lanes_ ? kernel.narrow_lanes : 0),
      chunk_(std::max(kLaneBlock, chunk_bytes / kLaneBlock * kLaneBlock)),
      halves_(reads_apart ? 2 : 1),
      lane_(new Lane[lanes_]),
      buffers_(static_cast<std::uint8_t*>(
          ::operator new(lanes_ * halves_ * (kCarryRoom + chunk_), std::align_val_t{64}))) {
  assert(lanes_ > 1 && lanes_ <= kMaxLanes);
}

FileLanes::~FileLanes() {
  reader_.reset();  // before the buffers it may still write
  ::operator delete(buffers_, std::align_val_t{64});
}

std::uint8_t* FileLanes::Half(std::size_t index, std::size_t half) const {
  return buffers_ + (index * halves_ + half) * (kCarryRoom + chunk_) + kCarryRoom;
}

// Reads until the lane holds a whole block or its file is read. Returns
// false when a read failed or the file changed: the lane is then free and
// done was called. With reads apart, the next chunk is then asked for.
bool FileLanes::Fill(Lane& lane, std::size_t index, Feed& feed) {
  while (lane.end - lane.begin < kLaneBlock) {
    if (lane.next_pending) CollectNext(lane, index);
    if (lane.next_bytes != 0) {
      SwitchHalves(lane, index);
    } else if (lane.read->finished()) {
      break;
    } else {
      ReadNow(lane, index);
    }
  }
  if (lane.next_pending) return true;  // the read is the reader's until collected
  if (const int error = lane.read->error()) {
    lane.stream.reset();
    feed.Done(lane.tag, DigestValue{}, 0, error);
    return false;
  }
  if (halves_ == 2 && !lane.read->finished() && lane.next_bytes == 0) StartNext(lane, index);
  return true;
}

// Fewer than a block's bytes wait: they move to the front of the half in use, and a
// chunk is read after them on this thread.
void FileLanes::ReadNow(Lane& lane, std::size_t index) {
  std::uint8_t* half = Half(index, lane.half);
  std::memmove(half, lane.bytes + lane.begin, lane.end - lane.begin);
  lane.end -= lane.begin;
  lane.begin = 0;
  lane.bytes = half;
  const auto before = std::chrono::steady_clock::now();
  const std::int64_t got = lane.read->Next(half + lane.end, chunk_ - lane.end);
  // A read from the cache takes microseconds; one that waits on the disk,
  // a tenth of a millisecond or more.
  const bool slow = std::chrono::steady_clock::now() - before > kSlowRead;
  slow_reads_ = slow_reads_ - slow_reads_ / 16 + (slow ? 16 : 0);
  if (got > 0) lane.end += static_cast<std::size_t>(got);
}

void FileLanes::StartNext(Lane& lane, std::size_t index) {
  if (!reader_) reader_ = std::make_unique<ChunkReader>(lanes_);
  reader_->Start(index, *lane.read, Half(index, 1 - lane.half), chunk_);
  lane.next_pending = true;
}

void FileLanes::CollectNext(Lane& lane, std::size_t index) {
  const std::int64_t got = reader_->Collect(index);
  lane.next_pending = false;
  lane.next_bytes = got > 0 ? static_cast<std::size_t>(got) : 0;
}

// The other half, read meanwhile, goes on from the fewer than a block's
// bytes left in this one, copied into the room before it.
void FileLanes::SwitchHalves(Lane& lane, std::size_t index) {
  const std::size_t carry = lane.end - lane.begin;
  assert(carry < kCarryRoom);
  lane.half = 1 - lane.half;
  std::uint8_t* start = Half(index, lane.half) - carry;
  std::memcpy(start, lane.bytes + lane.begin, carry);
  lane.bytes = start;
  lane.begin = 0;
  lane.end = carry + lane.next_bytes;
  lane.next_bytes = 0;
}

void FileLanes::Settle(Lane& lane, std::size_t index) {
  if (lane.next_pending) CollectNext(lane, index);
}

// The lane's file as a one-stream state: its words, then the bytes buffered
// (a settled lane's: none are being read).
OwnState FileLanes::LaneToState(const Lane& lane, std::size_t index) const {
  assert(!lane.next_pending);
  OwnState state = kernel_->ToScalar(index, lane.hashed);
  FeedOwn(state, lane.bytes + lane.begin, lane.end - lane.begin);
  if (lane.next_bytes != 0) FeedOwn(state, Half(index, 1 - lane.half), lane.next_bytes);
  return state;
}

void FileLanes::Adopt(Lane& lane, std::size_t index, Rest& rest) {
  const std::uint64_t bytes = OwnFed(rest.state);
  const std::span<const std::uint8_t> carried = OwnCarried(rest.state);  // the start of a block
  lane = Lane{};
  lane.stream = std::move(rest.stream);
  lane.read = rest.read;
  lane.tag = rest.tag;
  lane.hashed = bytes - carried.size();
  lane.size = bytes + static_cast<std::uint64_t>(std::max<std::int64_t>(0, rest.read->left()));
  lane.bytes = Half(index, 0);
  lane.end = carried.size();
  std::memcpy(lane.bytes, carried.data(), carried.size());
  kernel_->ToLane(rest.state, index);
}

void FileLanes::Finish(Lane& lane, std::size_t index, bool rest_alone, Feed& feed) {
  Settle(lane, index);
  OwnState state = LaneToState(lane, index);
  int error = lane.read->error();
  if (rest_alone && !lane.read->finished()) error = FeedRestOfFile(state, *lane.read);
  const DigestValue digest = FinishOwn(state);
  const std::uint64_t bytes = lane.read->done();
  lane.stream.reset();
  feed.Done(lane.tag, error == 0 ? digest : DigestValue{}, bytes, error);
}

int FinishAlone(FileLanes::Rest& rest, DigestValue& digest, std::uint64_t& bytes) {
  const int error = FeedRestOfFile(rest.state, *rest.read);
  digest = FinishOwn(rest.state);
  bytes = rest.read->done();
  rest.stream.reset();
  if (error != 0) digest = DigestValue{};
  return error;
}

bool FileLanes::cold() const { return slow_reads_ > kColdFrom; }

bool FileLanes::NextFile(Feed& feed, File& file, std::size_t wanted) {
  if (cold()) {
    while (ahead_.size() < lanes_) {
      File next;
      if (!feed.Take(next, wanted + ahead_.size())) break;
      next.stream->ReadAhead(0, std::min<std::int64_t>(next.stream->Size(), kOverlapFrom));
      ahead_.push_back(std::move(next));
    }
  }
  if (ahead_.empty()) return feed.Take(file, wanted);
  file = std::move(ahead_.front());
  ahead_.pop_front();
  return true;
}

void FileLanes::GiveAway(Lane& lane, std::size_t index, Feed& feed) {
  Settle(lane, index);
  Rest rest{nullptr, lane.read, LaneToState(lane, index), lane.tag};
  rest.stream = std::move(lane.stream);
  lane.read.reset();
  feed.Give(std::move(rest));
}

void FileLanes::StepAlone(Lane& lane, std::size_t index) {
  const std::size_t bytes = (lane.end - lane.begin) / kLaneBlock * kLaneBlock;
  OwnState state = kernel_->ToScalar(index, lane.hashed);
  FeedOwn(state, lane.bytes + lane.begin, bytes);
  kernel_->ToLane(state, index);
  lane.begin += bytes;
  lane.hashed += bytes;
}

void FileLanes::Run(Feed& feed, const std::atomic<bool>& stop) {
  // However the run ends (a stop, an exception from the feed or a stream),
  // no file stays open in a lane.
  struct CloseAll {
    FileLanes& lanes;
    ~CloseAll() {
      if (lanes.reader_) lanes.reader_->Cancel();  // nothing reads on while streams close
      for (std::size_t i = 0; i < lanes.lanes_; ++i) {
        lanes.lane_[i].next_pending = false;
        lanes.lane_[i].next_bytes = 0;
        lanes.lane_[i].read.reset();
        lanes.lane_[i].stream.reset();
      }
      lanes.ahead_.clear();
    }
  } close_all{*this};
  while (!stop.load(std::memory_order_relaxed)) {
    Busy busy = FillLanes(feed);
    if (GiveAwayWanted(busy, feed) || AdoptGivenAway(busy, feed) || GiveAwayThin(busy, feed)) continue;
    if (busy.count == 0) return;
    if (busy.count == 1 && !busy.feed_has_more) {
      RunAlone(busy, feed);
    } else {
      RunKernel(busy);
    }
  }
}

// Every lane gets a file holding a whole block, or stays free when the feed
// has no more; a file that ends here is finished at once.
FileLanes::Busy FileLanes::FillLanes(Feed& feed) {
  Busy busy;
  for (std::size_t i = 0; i < lanes_; ++i) {
    if (!FillLane(i, feed, busy.feed_has_more)) continue;
    ++busy.count;
    busy.last = i;
  }
  assert(busy.count <= lanes_);
  return busy;
}

bool FileLanes::FillLane(std::size_t i, Feed& feed, bool& feed_has_more) {
  Lane& lane = lane_[i];
  for (;;) {
    if (!lane.stream) {
      std::size_t free_lanes = 0;
      for (std::size_t j = i; j < lanes_; ++j) free_lanes += !lane_[j].stream;
      File file;
      if (!feed_has_more || !(feed_has_more = NextFile(feed, file, free_lanes))) return false;
      lane = Lane{};
      lane.bytes = Half(i, 0);
      lane.stream = std::move(file.stream);
      lane.size = static_cast<std::uint64_t>(std::max<std::int64_t>(0, lane.stream->Size()));
      lane.read.emplace(*lane.stream, lane.stream->Size());
      lane.tag = file.tag;
      kernel_->Start(i);
    }
    if (!Fill(lane, i, feed)) continue;
    if (lane.end - lane.begin >= kLaneBlock) return true;
    Finish(lane, i, false, feed);
  }
}

// Only lanes run thin give a file up: while many are busy, each costs less
// there than on the one-stream engine, and that engine is only faster for
// the one file. The kernel runs until its longest file ends, so giving away
// a file as long as the next one frees nothing: the one-stream engine's CPU
// time would be spent for no gain (eight files of 128 MiB took 1.6 times
// the CPU time so, and no less wall time). Of two, the one left runs alone,
// on the one-stream engine too.
bool FileLanes::GiveAwayWanted(const Busy& busy, Feed& feed) {
  if (feed.sharing() != Feed::Sharing::kLongLanes || busy.count < 2 || busy.count > info_.narrow_lanes ||
      !feed.FinisherWaiting())
    return false;
  // Told from what the lanes hashed, not from their reads: a read under way
  // is the reader's, and waiting for it here would stall every round.
  const auto left = [this](std::size_t i) { return lane_[i].size - lane_[i].hashed; };
  std::size_t most = lanes_;
  std::uint64_t next_most = 0;
  for (std::size_t i = 0; i < lanes_; ++i) {
    if (!lane_[i].stream) continue;
    if (most == lanes_ || left(i) > left(most)) {
      if (most != lanes_) next_most = left(most);
      most = i;
    } else {
      next_most = std::max(next_most, left(i));
    }
  }
  if (left(most) < static_cast<std::uint64_t>(kOverlapFrom) || (busy.count > 2 && next_most > left(most) / 4 * 3))
    return false;
  GiveAway(lane_[most], most, feed);
  return true;
}

// Files given away join a kernel that will run anyway, or gather into one
// (Adopt decides from the busy count).
bool FileLanes::AdoptGivenAway(Busy& busy, Feed& feed) {
  if (feed.sharing() != Feed::Sharing::kWorker || busy.feed_has_more || busy.count == lanes_) return false;
  bool adopted = false;
  for (std::size_t i = 0; i < lanes_; ++i) {
    if (lane_[i].stream) continue;
    Rest rest;
    if (!feed.Adopt(rest, info_.digest, busy.count)) break;
    Adopt(lane_[i], i, rest);
    ++busy.count;
    adopted = true;
  }
  return adopted;
}

// A kernel with two busy lanes or fewer costs more than the one-stream
// engine on each of their files: large ones go to a thread that has nothing
// else.
bool FileLanes::GiveAwayThin(const Busy& busy, Feed& feed) {
  if (feed.sharing() != Feed::Sharing::kWorker || busy.feed_has_more || busy.count > 2) return false;
  bool given = false;
  for (std::size_t i = 0; i < lanes_; ++i) {
    if (!lane_[i].stream) continue;
    Settle(lane_[i], i);
    if (lane_[i].read->left() < kOverlapFrom) continue;
    GiveAway(lane_[i], i, feed);
    given = true;
  }
  return given;
}

// One lane of many would run slower than the one-stream engine.
void FileLanes::RunAlone(const Busy& busy, Feed& feed) {
  Lane& alone = lane_[busy.last];
  if (feed.sharing() == Feed::Sharing::kLongLanes && feed.MoreMayCome()) {
    StepAlone(alone, busy.last);
  } else {
    Finish(alone, busy.last, true, feed);
  }
}

void FileLanes::RunKernel(const Busy& busy) {
  std::size_t blocks = static_cast<std::size_t>(-1);
  std::size_t busy_lanes[kMaxLanes];
  std::size_t count = 0;
  for (std::size_t i = 0; i < lanes_; ++i) {
    if (!lane_[i].stream) continue;
    blocks = std::min(blocks, (lane_[i].end - lane_[i].begin) / kLaneBlock);
    busy_lanes[count++] = i;
  }
  assert(blocks != 0 && blocks != static_cast<std::size_t>(-1) && count == busy.count);
  const std::uint8_t* data[kMaxLanes];
  for (std::size_t i = 0; i < lanes_; ++i) {
    // A free lane reads the busy one's bytes; its words are not used.
    const std::size_t source = lane_[i].stream ? i : busy.last;
    data[i] = lane_[source].bytes + lane_[source].begin;
  }
  kernel_->Compress(data, blocks, std::span<const std::size_t>(busy_lanes, count));
  for (std::size_t i : std::span<const std::size_t>(busy_lanes, count)) {
    lane_[i].begin += blocks * kLaneBlock;
    lane_[i].hashed += blocks * kLaneBlock;
  }
}

}  // namespace quillora

#include "md5/file_lanes.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>

namespace quillora {

struct FileLanes::Lane {
  std::unique_ptr<Stream> stream;  // null while the lane is free
  std::uint64_t tag = 0;
  std::int64_t size = 0;     // the file's size when opened
  std::int64_t read = 0;     // bytes read so far
  std::uint64_t hashed = 0;  // bytes through the kernel, whole blocks
  std::size_t begin = 0;     // bytes read and not yet hashed: buffer[begin, end)
  std::size_t end = 0;
  bool read_all = false;     // no more reads: the size was met or a read gave 0
};

FileLanes::FileLanes(LaneEngine engine, std::size_t chunk_bytes)
    : engine_(engine),
      lanes_(LaneCount(engine)),
      chunk_(std::max<std::size_t>(64, chunk_bytes / 64 * 64)),
      lane_(new Lane[LaneCount(engine)]),
      buffers_(static_cast<std::uint8_t*>(::operator new(lanes_ * chunk_, std::align_val_t{64}))),
      words_() {}

FileLanes::~FileLanes() { ::operator delete(buffers_, std::align_val_t{64}); }

// Reads until the lane holds a whole block or its file is read. Returns
// false when a read failed: the lane is then free and done was called.
bool FileLanes::Fill(Lane& lane, std::size_t index, const FileDone& done) {
  std::uint8_t* buffer = buffers_ + index * chunk_;
  while (lane.end - lane.begin < 64 && !lane.read_all) {
    // Fewer than 64 bytes wait: move them to the front, then read a chunk.
    std::memmove(buffer, buffer + lane.begin, lane.end - lane.begin);
    lane.end -= lane.begin;
    lane.begin = 0;
    std::size_t want = chunk_ - lane.end;
    if (lane.read < lane.size) want = static_cast<std::size_t>(std::min<std::int64_t>(want, lane.size - lane.read));
    const std::int64_t got = lane.stream->Read(buffer + lane.end, want);
    if (got < 0) {
      const int error = lane.stream->last_error();
      lane.stream.reset();
      done(lane.tag, DigestBytes{}, error != 0 ? error : EIO);
      return false;
    }
    lane.end += static_cast<std::size_t>(got);
    lane.read += got;
    lane.read_all = got == 0 || lane.read == lane.size;
  }
  return true;
}

// Finishes the lane's file on the scalar engine from the lane's words: the
// bytes in the buffer, then (rest_scalar) whatever is left to read.
void FileLanes::Finish(Lane& lane, std::size_t index, bool rest_scalar, const FileDone& done) {
  DigestState state;
  StartDigest(state);
  state.a = words_.a[index];
  state.b = words_.b[index];
  state.c = words_.c[index];
  state.d = words_.d[index];
  const std::uint64_t bits = lane.hashed * 8;
  state.count[0] = static_cast<std::uint32_t>(bits);
  state.count[1] = static_cast<std::uint32_t>(bits >> 32);
  FeedDigest(state, buffers_ + index * chunk_ + lane.begin, lane.end - lane.begin);
  int error = 0;
  if (rest_scalar && !lane.read_all) error = FeedRestOfFile(state, *lane.stream, lane.size, lane.read);
  const DigestBytes digest = FinishDigest(state);
  lane.stream.reset();
  done(lane.tag, error == 0 ? digest : DigestBytes{}, error);
}

void FileLanes::Run(const TakeFile& take, const FileDone& done, const std::atomic<bool>& stop) {
  for (;;) {
    if (stop.load(std::memory_order_relaxed)) {
      for (std::size_t i = 0; i < lanes_; ++i) lane_[i].stream.reset();
      return;
    }
    // Every lane gets a file holding a whole block, or stays free when take
    // has no more; a file that ends here is finished at once.
    bool take_has_more = true;
    std::size_t busy = 0, last_busy = 0;
    for (std::size_t i = 0; i < lanes_; ++i) {
      Lane& lane = lane_[i];
      for (;;) {
        if (!lane.stream) {
          std::size_t free_lanes = 0;
          for (std::size_t j = i; j < lanes_; ++j) free_lanes += !lane_[j].stream;
          File file;
          if (!take_has_more || !(take_has_more = take(file, free_lanes))) break;
          lane = Lane{};
          lane.stream = std::move(file.stream);
          lane.tag = file.tag;
          lane.size = lane.stream->Size();
          StartLane(words_, i);
        }
        if (!Fill(lane, i, done)) continue;
        if (lane.end - lane.begin >= 64) break;
        Finish(lane, i, false, done);
      }
      if (lane.stream) {
        ++busy;
        last_busy = i;
      }
    }
    if (busy == 0) return;
    // One lane of many would run slower than the scalar engine.
    Lane& alone = lane_[last_busy];
    if (busy == 1 && !take_has_more) {
      Finish(alone, last_busy, true, done);
      continue;
    }

    std::size_t blocks = static_cast<std::size_t>(-1);
    const std::uint8_t* data[kMaxLanes];
    for (std::size_t i = 0; i < lanes_; ++i) {
      const Lane& lane = lane_[i];
      // A free lane reads the busy one's bytes; its words are not used.
      const Lane& source = lane.stream ? lane : alone;
      data[i] = buffers_ + (lane.stream ? i : last_busy) * chunk_ + source.begin;
      if (lane.stream) blocks = std::min(blocks, (lane.end - lane.begin) / 64);
    }
    TransformLanes(engine_, words_, data, blocks);
    for (std::size_t i = 0; i < lanes_; ++i) {
      if (!lane_[i].stream) continue;
      lane_[i].begin += blocks * 64;
      lane_[i].hashed += blocks * 64;
    }
  }
}

}  // namespace quillora

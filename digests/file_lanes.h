// Many open files digested at once on a lane kernel, one file per lane.
//
// A FileLanes keeps up to LaneCount(engine) files in flight: it reads each
// lane's next chunk, runs the kernel over the blocks every busy lane has, and
// takes the next file into a lane the moment its file ends. Each file's last
// partial block, padding and length go through the scalar engine, seeded
// from the lane's chaining words, so every digest is exactly the scalar one.
// Files are read as DigestOfFile reads them, through a BoundedRead: a file
// that changes while it is read is done with kChangedWhileRead. One thread
// runs a FileLanes; it starts no thread of its own except for a large file
// left alone (see Run), and, with reads apart, the one that reads the lanes'
// next chunks (chunk_reader.h).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

#include "digests/file_digest.h"
#include "md5/md5_lanes.h"
#include "platform/stream.h"

namespace quillora {

class ChunkReader;

class FileLanes {
 public:
  // One file for a lane: an open stream and the caller's tag for it.
  struct File {
    std::unique_ptr<Stream> stream;
    std::uint64_t tag = 0;
  };
  // Fills file with the next file to digest and returns true, or returns false
  // when there is none right now. wanted: the lanes free at the moment, so a
  // caller that fetches files in batches knows how many to fetch.
  using TakeFile = std::function<bool(File& file, std::size_t wanted)>;
  // A file is done: its digest, or the error number of a failed read or of
  // a change while it was read (error != 0, digest then meaningless). Its
  // stream is closed before.
  using FileDone = std::function<void(std::uint64_t tag, const DigestBytes& digest, int error)>;
  // The rest of a file taken out of its lane, to finish on the scalar engine
  // elsewhere: state holds every byte before read's position. Finish it with
  // FeedRestOfFile(state, *read), FinishDigest(state), then close stream.
  struct Rest {
    std::unique_ptr<Stream> stream;
    std::optional<BoundedRead> read;  // of *stream
    DigestState state;
    std::uint64_t tag = 0;
  };
  // Where large files go when the lanes run thin, and come from when a kernel
  // has room: give(rest) gives one away (done is then never called for it);
  // adopt(rest, busy) fills rest with one given away (by this FileLanes or
  // another) and returns true, or returns false: when there is none, or when
  // busy (the lanes busy now) and those waiting make fewer than three, so
  // that a file never goes back and forth.
  //
  // wanted (optional): true when a thread is free to finish a large file on
  // the scalar engine, which runs one message faster than any lane. Then a
  // run with two busy lanes or more, but no more than the narrow kernel's,
  // gives away the file with the most left when that shortens the kernel's
  // run: the next has at most three quarters as much left, or two are busy.
  struct HandOver {
    std::function<void(Rest&& rest)> give;
    std::function<bool(Rest& rest, std::size_t busy)> adopt;  // none: adopts nothing, gives away only when wanted
    std::function<bool()> wanted;
  };

  // engine: a supported engine with more than one lane. chunk_bytes: the
  // read size per lane, a multiple of 64 (at least 64). The lanes' buffers,
  // LaneCount(engine) * chunk_bytes in all, are allocated once here.
  // While reads wait on the disk, up to a lane's worth of files are kept
  // open ahead of the lanes (the job's descriptor budget counts each from
  // its claim, so there is none left to spare here). reads_apart: each
  // lane's next chunk is read on a thread of its own (a ChunkReader, started
  // with the first such read) while the kernel hashes the current one, into
  // a second buffer as large.
  FileLanes(LaneEngine engine, std::size_t chunk_bytes, bool reads_apart = false);
  ~FileLanes();
  FileLanes(const FileLanes&) = delete;
  FileLanes& operator=(const FileLanes&) = delete;

  // Digests files from take until take has none and every lane is empty;
  // calls done once for each file taken, in the order they finish. A file
  // left alone in the lanes while take has none is finished by the scalar
  // engine, which runs one message faster than a kernel with one lane busy
  // (with its reads overlapped on a second thread from kOverlapFrom bytes
  // left). When stop becomes true, Run returns soon: files in flight are
  // dropped without done, as they are when take, done or a stream throws
  // (the exception passes on; every lane is then free).
  //
  // With hand_over, once take has none: a kernel with two busy lanes or
  // fewer costs more than the scalar engine on each of their files, so a
  // file with at least kOverlapFrom bytes left is given away; free lanes
  // take such files back (adopt) when that makes three or more, where they
  // cost nothing more. So a few large files share one kernel, or go to the
  // scalar engine of a free thread.
  //
  // With more_may_come, a file left alone while it says more may come runs
  // on the scalar engine a chunk at a time, so files taken later join it in
  // the lanes.
  void Run(const TakeFile& take, const FileDone& done, const std::atomic<bool>& stop,
           const HandOver* hand_over = nullptr, const std::function<bool()>& more_may_come = {});

  // True while reads of late waited on the disk, not the cache.
  bool cold() const;

 private:
  struct Lane;
  // The lanes after a fill: how many are busy, the last busy one, and
  // whether take may still have files.
  struct Busy {
    std::size_t count = 0;
    std::size_t last = 0;
    bool take_has_more = true;
  };

  // Run's phases, in the order each round tries them. Each but FillLanes
  // and RunKernel returns true when it changed the lanes, and the round
  // starts again.
  Busy FillLanes(const TakeFile& take, const FileDone& done);
  bool GiveAwayWanted(const Busy& busy, const HandOver* hand_over);
  bool AdoptGivenAway(Busy& busy, const HandOver* hand_over);
  bool GiveAwayThin(const Busy& busy, const HandOver* hand_over);
  void RunAlone(const Busy& busy, const FileDone& done, const std::function<bool()>& more_may_come);
  void RunKernel(const Busy& busy);

  // Takes the next file into lane i, or leaves it free when take has none.
  bool FillLane(std::size_t i, const TakeFile& take, const FileDone& done, bool& take_has_more);
  bool Fill(Lane& lane, std::size_t index, const FileDone& done);
  // The start of half `half` of lane index's buffer (with room for a carry
  // before it).
  std::uint8_t* Half(std::size_t index, std::size_t half) const;
  void ReadNow(Lane& lane, std::size_t index);
  // With reads apart: asks for the lane's next chunk into its other half;
  // takes it when read (CollectNext), and goes on from it (SwitchHalves).
  // A settled lane has no read under way: its read may be looked at.
  void StartNext(Lane& lane, std::size_t index);
  void CollectNext(Lane& lane, std::size_t index);
  void SwitchHalves(Lane& lane, std::size_t index);
  void Settle(Lane& lane, std::size_t index);
  void Finish(Lane& lane, std::size_t index, bool rest_scalar, const FileDone& done);
  // The lane's words and buffered bytes as a scalar state (the lane stays as
  // it is), and its words alone (every byte hashed so far); and a scalar
  // state's words back into the lane.
  void LaneToState(const Lane& lane, std::size_t index, DigestState& state) const;
  void WordsToState(const Lane& lane, std::size_t index, DigestState& state) const;
  void StateToWords(std::size_t index, const DigestState& state);
  // Puts a file given away into a free lane, from its state.
  void Adopt(Lane& lane, std::size_t index, Rest& rest);

  // The next file for a lane. While reads wait on the disk, it keeps up to a
  // lane's worth of files taken ahead, each asked to be read ahead, so the
  // disk has many reads in flight instead of the one each lane waits on.
  bool NextFile(const TakeFile& take, File& file, std::size_t wanted);
  // Runs blocks blocks of every busy lane on the narrow kernel (busy lanes:
  // at most narrow_).
  void TransformNarrow(std::size_t blocks);
  // Runs the whole blocks buffered in the lane on the scalar engine, from
  // and back to its words.
  void StepOnScalar(Lane& lane, std::size_t index);
  // Gives the lane's file away as a Rest; the lane is then free.
  void GiveAway(Lane& lane, std::size_t index, const HandOver& hand_over);

  LaneEngine engine_;
  std::size_t lanes_;
  // With this many busy lanes or fewer, the engine's narrow kernel runs them
  // faster (0: it has none).
  std::size_t narrow_;
  std::deque<File> ahead_;  // taken and read ahead, not yet in a lane
  // A running share of the reads that waited on the disk: the cached kind
  // takes a few microseconds, and asking ahead would cost it a call per file.
  unsigned slow_reads_ = 0;
  std::size_t chunk_;
  std::size_t halves_;  // of each lane's buffer: 2 with reads apart
  std::unique_ptr<Lane[]> lane_;
  std::uint8_t* buffers_;  // lanes_ * halves_ halves of chunk_ bytes, each after room for a carry, 64-byte aligned
  LaneWords words_;
  std::unique_ptr<ChunkReader> reader_;  // with reads apart, from the first
};

}  // namespace quillora

// The lane manager: many open files digested at once on one family's lane
// kernel (lane_kernel.h), one file per lane. It knows no digest.
//
// A FileLanes keeps up to its kernel's lanes of files in flight: it reads
// each lane's next chunk, has the kernel compress the blocks every busy lane
// has, and takes the next file into a lane the moment its file ends. Each
// file's last partial block, padding and length go through its family's
// one-stream engine, seeded from the lane's words (OwnState), so every
// digest is exactly the one-stream one. Files are read as every digest reads
// them, through a BoundedRead: a file that changes while it is read is done
// with kChangedWhileRead. One thread runs a FileLanes; it starts no thread
// of its own except for a large file left alone (see Run), and, with reads
// apart, the one that reads the lanes' next chunks (chunk_reader.h).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>

#include "digests/file_digest.h"
#include "digests/lane_kernel.h"
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
  // A file taken out of its lane part way, to finish on the one-stream
  // engine elsewhere (FinishAlone), or to take into a lane of its family
  // again: state holds every byte before read's position.
  struct Rest {
    std::unique_ptr<Stream> stream;
    std::optional<BoundedRead> read;  // of *stream
    OwnState state;
    std::uint64_t tag = 0;
  };

  // What a FileLanes asks of whoever feeds it: files, and where they go.
  class Feed {
   public:
    virtual ~Feed() = default;
    // Fills file with the next file for a lane and returns true, or returns
    // false when there is none right now. wanted: the lanes free now, so a
    // caller that fetches files in batches knows how many to fetch.
    virtual bool Take(File& file, std::size_t wanted) = 0;
    // A file is done: its digest and the bytes read, or the error number of
    // a failed read or of a change while it was read (error != 0, the rest
    // meaningless). Its stream is closed before.
    virtual void Done(std::uint64_t tag, const DigestValue& digest, std::uint64_t bytes, int error) = 0;

    // How files leave and join the lanes part way, once Take has none:
    enum class Sharing {
      kNone,
      // A worker's: a kernel with two busy lanes or fewer costs more than
      // the one-stream engine on each of their files, so a file with at
      // least kOverlapFrom bytes left is given away; free lanes take such
      // files back (Adopt) when that makes three or more, where they cost
      // nothing more. So a few large files share one kernel, or go to the
      // one-stream engine of a free thread.
      kWorker,
      // The long lanes': a run with two busy lanes or more, but no more than
      // the narrow kernel's, gives away the file with the most left when a
      // thread is free to finish it (FinisherWaiting) and that shortens the
      // kernel's run: the next has at most three quarters as much left, or
      // two are busy. A file left alone while MoreMayCome runs on the
      // one-stream engine a chunk at a time, so files taken later join it.
      kLongLanes,
    };
    virtual Sharing sharing() const { return Sharing::kNone; }
    // Takes a file given away (done is then never called for it).
    virtual void Give(Rest&& rest) { static_cast<void>(rest); }
    // Fills rest with a file given away (by this FileLanes or another) of
    // family and returns true, or returns false: when there is none, or when
    // busy (the lanes busy now) and those waiting make fewer than three, so
    // that a file never goes back and forth.
    virtual bool Adopt(Rest& rest, DigestId family, std::size_t busy) {
      return static_cast<void>(rest), static_cast<void>(family), static_cast<void>(busy), false;
    }
    virtual bool FinisherWaiting() { return false; }
    virtual bool MoreMayCome() { return false; }
  };

  // kernel: a supported kernel with more than one lane. chunk_bytes: the
  // read size per lane, a multiple of kLaneBlock (at least one block). The
  // lanes' buffers, lanes * chunk_bytes in all, are allocated once here.
  // While reads wait on the disk, up to a lane's worth of files are kept
  // open ahead of the lanes (the job's descriptor budget counts each from
  // its claim, so there is none left to spare here). reads_apart: each
  // lane's next chunk is read on a thread of its own (a ChunkReader, started
  // with the first such read) while the kernel hashes the current one, into
  // a second buffer as large.
  FileLanes(const KernelInfo& kernel, std::size_t chunk_bytes, bool reads_apart = false);
  ~FileLanes();
  FileLanes(const FileLanes&) = delete;
  FileLanes& operator=(const FileLanes&) = delete;

  DigestId digest() const { return info_.digest; }

  // Digests files from feed until it has none and every lane is empty;
  // reports each file once (Done, or Give), in the order they finish. A file
  // left alone in the lanes while the feed has none is finished by the
  // one-stream engine, which runs one message faster than a kernel with one
  // lane busy (with its reads overlapped on a second thread from
  // kOverlapFrom bytes left); how files move between lanes and threads part
  // way is the feed's sharing(). When stop becomes true, Run returns soon:
  // files in flight are dropped unreported, as they are when the feed or a
  // stream throws (the exception passes on; every lane is then free).
  void Run(Feed& feed, const std::atomic<bool>& stop);

  // True while reads of late waited on the disk, not the cache.
  bool cold() const;

 private:
  struct Lane;
  // The lanes after a fill: how many are busy, the last busy one, and
  // whether the feed may still have files.
  struct Busy {
    std::size_t count = 0;
    std::size_t last = 0;
    bool feed_has_more = true;
  };

  // Run's phases, in the order each round tries them. Each but FillLanes
  // and RunKernel returns true when it changed the lanes, and the round
  // starts again.
  Busy FillLanes(Feed& feed);
  bool GiveAwayWanted(const Busy& busy, Feed& feed);
  bool AdoptGivenAway(Busy& busy, Feed& feed);
  bool GiveAwayThin(const Busy& busy, Feed& feed);
  void RunAlone(const Busy& busy, Feed& feed);
  void RunKernel(const Busy& busy);

  // Takes the next file into lane i, or leaves it free when the feed has none.
  bool FillLane(std::size_t i, Feed& feed, bool& feed_has_more);
  bool Fill(Lane& lane, std::size_t index, Feed& feed);
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
  void Finish(Lane& lane, std::size_t index, bool rest_alone, Feed& feed);
  // The lane's message as a one-stream state: its words and the bytes
  // buffered (the lane stays as it is).
  OwnState LaneToState(const Lane& lane, std::size_t index) const;
  // Puts a file given away into a free lane, from its state.
  void Adopt(Lane& lane, std::size_t index, Rest& rest);

  // The next file for a lane. While reads wait on the disk, it keeps up to a
  // lane's worth of files taken ahead, each asked to be read ahead, so the
  // disk has many reads in flight instead of the one each lane waits on.
  bool NextFile(Feed& feed, File& file, std::size_t wanted);
  // Runs the whole blocks buffered in the lane on the one-stream engine,
  // from and back to its words.
  void StepAlone(Lane& lane, std::size_t index);
  // Gives the lane's file away as a Rest; the lane is then free.
  void GiveAway(Lane& lane, std::size_t index, Feed& feed);

  const KernelInfo& info_;
  std::unique_ptr<LaneKernel> kernel_;
  std::size_t lanes_;
  // With this many busy lanes or fewer, the family's narrow kernel runs them
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
  std::unique_ptr<ChunkReader> reader_;  // with reads apart, from the first
};

// Digests the rest of a file given away on this thread, on its family's
// one-stream engine, and closes it: its digest and bytes read, or the
// error number (as BoundedRead::error() gives it).
int FinishAlone(FileLanes::Rest& rest, DigestValue& digest, std::uint64_t& bytes);

}  // namespace quillora

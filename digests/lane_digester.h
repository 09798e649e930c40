// The Digester of a thread with lanes: each file claimed goes by its
// request's digests (LanedDigest) to the lanes of that one digest's kernel,
// a FileLanes per family, made at its family's first file; a file of any
// other request is read whole at once, alone, through the one-stream
// engines (DigestedAlone). A large file goes to the long lanes
// (long_lanes.h), so it runs at the kernel's pace from its open on, not at
// that of the small files beside it. Files of two families in one job take
// turns: a family's lanes run until no file of it is to be had, then the
// other's.
#pragma once

#include <atomic>
#include <cstddef>
#include <deque>
#include <memory>
#include <utility>

#include "digests/digester.h"
#include "digests/file_lanes.h"

namespace quillora {

class LaneDigester final : public Digester {
 public:
  // stop: set when the job ends (FileLanes::Run returns soon). The long
  // lanes' own (long_lanes) send no file on to them, and read their chunks
  // apart, in larger reads.
  LaneDigester(const std::atomic<bool>& stop, bool long_lanes = false);
  ~LaneDigester() override;

  void Run(FileSource& source, LaneExchange& exchange) override;
  bool cold() const override;
  bool adopts() const override { return !long_lanes_; }

  // Bytes each lane reads at a time: a family's buffers take its lanes *
  // kLaneChunk bytes.
  static constexpr std::size_t kLaneChunk = 64 * 1024;
  // The long lanes', read apart while the kernel hashes (twice as many
  // bytes in all): each switch between the two threads costs a wake-up, and
  // on a busy machine a wait for a core. Eight files of 128 MiB took 10%
  // more CPU time than one thread with 64 KiB, as much with 256 KiB, and
  // no less wall time with 1 MiB.
  static constexpr std::size_t kApartChunk = 256 * 1024;

 private:
  class Feed;
  struct Family {
    std::unique_ptr<FileLanes> lanes;  // made at the family's first file
    std::deque<OpenedFile> waiting;    // claimed while another family's lanes ran
  };
  Family& FamilyOf(DigestId digest);
  // The next file claimed for lanes: of `only` (when given; another
  // family's waits for its turn), or of any family with lanes. Files of no
  // lanes are digested on the way, large ones sent on to the long lanes.
  // False when the source has none now.
  bool NextForLanes(FileSource& source, LaneExchange& exchange, const DigestId* only, OpenedFile& file,
                    std::size_t wanted);

  const std::atomic<bool>& stop_;
  bool long_lanes_;
  std::deque<std::pair<DigestId, Family>> families_;  // deque: a family stays where it is as others come
};

}  // namespace quillora

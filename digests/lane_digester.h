// MD5's Digester: files on the SIMD lanes of a FileLanes. A file of any other
// digest is read whole right away, alone (SingleDigester's way); a large one
// goes to the long lanes (long_lanes.h), so it runs at the kernel's pace
// from its open on, not at that of the small files beside it.
#pragma once

#include <atomic>
#include <cstddef>

#include "digests/digester.h"
#include "digests/file_lanes.h"

namespace quillora {

class LaneDigester final : public Digester {
 public:
  // stop: set when the job ends (FileLanes::Run returns soon). The long
  // lanes' own (long_lanes) send no file on to them, and give a file away
  // only when a thread waits to finish it alone.
  LaneDigester(LaneEngine engine, const std::atomic<bool>& stop, bool long_lanes = false);

  void Run(FileSource& source) override;
  bool cold() const override { return lanes_.cold(); }
  bool adopts() const override { return !long_lanes_; }

  // Bytes each lane reads at a time: a digester's buffers take
  // LaneCount(engine) * kLaneChunk bytes.
  static constexpr std::size_t kLaneChunk = 64 * 1024;
  // The long lanes', read apart while the kernel hashes (twice as many
  // bytes in all): each switch between the two threads costs a wake-up, and
  // on a busy machine a wait for a core. Eight files of 128 MiB took 10%
  // more CPU time than one thread with 64 KiB, as much with 256 KiB, and
  // no less wall time with 1 MiB.
  static constexpr std::size_t kApartChunk = 256 * 1024;

 private:
  FileLanes lanes_;
  const std::atomic<bool>& stop_;
  bool long_lanes_;
};

}  // namespace quillora

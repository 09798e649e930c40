// A family's multi-buffer kernel, as the lane manager (file_lanes.h) sees it:
// the chaining words of up to kMaxLanes messages, a start for a lane, whole
// 64-byte blocks compressed in every busy lane at once, and the way a lane's
// message goes onto its family's one-stream engine (OwnState) and back. The
// manager knows nothing else of any digest; each family (md5/, sha256/, ...)
// gives only its lane counts per instruction set and these steps, and the
// one-stream engine pads and finishes every message.
//
// Which kernel each family runs is chosen once at run time from what the
// processor supports, the widest first (ActiveKernel); the command line's
// --engine and the tests force one by name (ForceKernel).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "hashes/digest_table.h"
#include "hashes/own_state.h"

namespace quillora {

// The most lanes any kernel has.
inline constexpr std::size_t kMaxLanes = 16;
// The block every lane kernel compresses, in bytes.
inline constexpr std::size_t kLaneBlock = 64;

// One kernel's words and its steps over them. Not thread-safe: one lane
// manager, on one thread, uses it.
class LaneKernel {
 public:
  virtual ~LaneKernel() = default;

  // Sets lane's words to its family's start.
  virtual void Start(std::size_t lane) = 0;

  // Compresses `blocks` blocks of each busy lane (busy: ascending, at least
  // one, each below the kernel's lanes) from data[lane]. Every data[i] of
  // the kernel's lanes points at readable bytes: a free lane's at a busy
  // one's, its words then meaningless. With no more busy lanes than a
  // narrower kernel of the family runs faster (KernelInfo::narrow_lanes),
  // that one runs them.
  virtual void Compress(const std::uint8_t* const* data, std::size_t blocks, std::span<const std::size_t> busy) = 0;

  // The lane's message as its family's one-stream state: `hashed` bytes
  // (a multiple of kLaneBlock) went through the kernel and left its words.
  virtual OwnState ToScalar(std::size_t lane, std::uint64_t hashed) const = 0;
  // A one-stream state's words into lane (its whole blocks; the caller keeps
  // the bytes it carries past them, OwnCarried).
  virtual void ToLane(const OwnState& state, std::size_t lane) = 0;
};

// A kernel a family has: its digest, its instruction set's name ("avx2",
// "avx512", "sha-ni"), how many messages it hashes at once, and how many or
// fewer a narrower form of it hashes faster.
struct KernelInfo {
  DigestId digest;
  std::string_view name;
  std::size_t lanes;
  std::size_t narrow_lanes;  // == lanes when it has no narrower form
  bool (*supported)();       // this build has it and this processor runs it
  std::unique_ptr<LaneKernel> (*make)();
};

// Every kernel of every family, each family's widest (fastest) first.
std::span<const KernelInfo> AllKernels();

// The kernel digest runs now: the forced one when it has it (ForceKernel),
// else its first supported; none when forced to "scalar", or when it has no
// kernel this processor runs (its one-stream engine then takes every file).
const KernelInfo* ActiveKernel(DigestId digest);

// The one digest of a request that a kernel runs now, alone: a file of it
// takes a lane. None for several digests, or one without a kernel (those
// are read once through the one-stream engines: streaming_digest.h).
std::optional<DigestId> LanedDigest(DigestSet digests);

// The names --engine takes: "scalar" (no kernel at all), then each kernel
// name some family has, once, in alphabetical order.
std::span<const std::string_view> KernelNames();
// Whether some family has the kernel of that name and this processor runs
// it ("scalar" always).
bool KernelSupported(std::string_view name);
// From now on each family that has a supported kernel of that name runs it,
// the others their own choice; "scalar": no family runs a kernel. False,
// changing nothing, when no family has it or the processor lacks it. For
// tests, benches and the command line's diagnostic option; digests already
// running are not affected.
bool ForceKernel(std::string_view name);
void ClearForcedKernel();
// The name forced now, or empty when none is.
std::string_view ForcedKernel();

// "md5: avx2, sha256: sha-ni": the kernel each family with one runs now, or
// "none" for a family without.
std::string ActiveKernelsText();

}  // namespace quillora

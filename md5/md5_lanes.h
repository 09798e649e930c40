// Multi-buffer MD5: the compression function of RFC 1321 run over several
// independent messages at once, one message per 32-bit lane of a SIMD
// register (8 lanes with AVX2, 16 with AVX-512).
//
// MD5 is serial within one message, so one message never goes faster than
// one core's scalar rounds; many messages side by side do. This unit holds
// only the kernels and what each says of itself (lanes, support): whole
// 64-byte blocks in, the chaining words out. Padding, the length and the
// digest bytes stay with the scalar engine, which finishes each message from
// its lane's words. Which one runs, the lane manager chooses
// (digests/lane_kernel.h).
//
// The kernels are compiled for their instruction sets function by function
// (the build keeps the compiler's default target). Other CPUs, other
// architectures and Windows builds have no lane kernel: everything runs on
// the scalar engine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace quillora {

enum class LaneEngine {
  kScalar,  // the one-message engine, one file at a time
  kAvx2,    // 8 lanes
  kAvx512,  // 16 lanes
};

// The most lanes any kernel has.
inline constexpr std::size_t kMd5MaxLanes = 16;

// The chaining words of up to kMd5MaxLanes messages in flight, word by word:
// lane i's A is a[i]. Aligned so a kernel loads each word of all lanes at once.
struct alignas(64) LaneWords {
  std::uint32_t a[kMd5MaxLanes], b[kMd5MaxLanes], c[kMd5MaxLanes], d[kMd5MaxLanes];
};

// Every engine, narrowest first: the one list the command line's names, help
// and completion come from.
inline constexpr LaneEngine kLaneEngines[] = {LaneEngine::kScalar, LaneEngine::kAvx2, LaneEngine::kAvx512};

// The engine's name as the command line spells it: "scalar", "avx2", "avx512".
std::string_view LaneEngineName(LaneEngine engine);
// The engine of that name, or nothing for an unknown name.
std::optional<LaneEngine> LaneEngineNamed(std::string_view name);

// Messages an engine hashes at once: 1, 8 or 16.
std::size_t LaneCount(LaneEngine engine);

// True when this build has the engine and this CPU runs it. The scalar
// engine is always supported.
bool LaneEngineSupported(LaneEngine engine);

// Sets lane's chaining words to the four start words of RFC 1321.
void StartLane(LaneWords& words, std::size_t lane);

// Lanes of the engine's narrower kernel, if it has one, else LaneCount:
// AVX-512 on a CPU with its 256-bit forms runs 8 messages, each about half
// as fast again as one of 16 in its full kernel. A caller with that many
// messages or fewer in flight digests them faster in lanes 0 to 7.
std::size_t NarrowLaneCount(LaneEngine engine);

// Runs `blocks` 64-byte blocks of the first `lanes` lanes (at most
// LaneCount(engine); all of them by default) through the compression
// function: lane i reads blocks * 64 bytes from data[i] and updates its words
// in place. With lanes <= NarrowLaneCount(engine), only lanes below
// NarrowLaneCount(engine) are run and the others' words are left as they
// were. Every lane that runs must point at readable bytes; a lane without a
// message may point at another lane's data and its words are then
// meaningless. Requires a supported engine with more than one lane.
void TransformLanes(LaneEngine engine, LaneWords& words, const std::uint8_t* const* data, std::size_t blocks,
                    std::size_t lanes = kMd5MaxLanes);

}  // namespace quillora

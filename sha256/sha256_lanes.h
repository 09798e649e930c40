// Multi-buffer SHA-256: the compression function of FIPS 180-4 run over
// several independent messages at once, one message per lane: per 32-bit
// lane of a SIMD register (8 lanes with AVX2, 16 with AVX-512), or per
// stream of the SHA instructions interleaved.
//
// SHA-256 is serial within one message: its SHA-NI rounds wait on each
// other, and its SIMD rounds fill one lane of a register. Many messages side
// by side fill the rest. This unit holds only the kernels and what each
// says of itself (lanes, support): whole 64-byte blocks in, the chaining
// words out. Padding, the length and the digest bytes stay with the scalar
// engine (sha256/sha256.h), which finishes each message from its lane's words
// (ResumeSha256), and can hand one back to a lane (SetSha256Lane). Which one
// runs, the lane manager chooses (digests/lane_kernel.h): on AMD Zen 3,
// SHA-NI's 3 streams ran twice as fast as one stream, AVX2's 8 lanes at 0.85
// times one stream (bench/sha256_lanes_bench.sh); AVX-512 comes first by its
// instruction count alone (a round of 16 lanes in about 32 instructions,
// where AVX2 takes 64 for 8), unmeasured.
//
// The kernels are compiled for their instruction sets function by function
// (the build keeps the compiler's default target). The AVX2 and AVX-512
// kernels are left out of Windows builds (GCC does not align the stack there
// for their 32- and 64-byte spills); SHA-NI needs only 16 bytes and stays.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace quillora {

struct Sha256State;

enum class Sha256LaneEngine {
  kScalar,  // the stream engine of sha256/sha256.h, one message
  kShaNi,   // the SHA instructions, three messages interleaved; 2 in its narrow form
  kAvx2,    // 8 lanes
  kAvx512,  // 16 lanes; 8 in 256-bit registers where the CPU has AVX-512VL
};

// The most lanes any kernel has.
inline constexpr std::size_t kSha256MaxLanes = 16;

// The chaining words of up to kSha256MaxLanes messages in flight, word by
// word: word w (H0 to H7) of lane i is h[w][i]. Aligned so a kernel loads
// each word of all lanes at once.
struct alignas(64) Sha256LaneWords {
  std::uint32_t h[8][kSha256MaxLanes];
};

// Every engine, in the order of Sha256LaneEngine: the one list names and
// choices come from.
inline constexpr Sha256LaneEngine kSha256LaneEngines[] = {Sha256LaneEngine::kScalar, Sha256LaneEngine::kShaNi,
                                                          Sha256LaneEngine::kAvx2, Sha256LaneEngine::kAvx512};

// The engine's name: "scalar", "sha-ni", "avx2", "avx512".
std::string_view Sha256LaneEngineName(Sha256LaneEngine engine);
// The engine of that name, or nothing for an unknown name.
std::optional<Sha256LaneEngine> Sha256LaneEngineNamed(std::string_view name);

// Messages an engine hashes at once: 1, 3, 8 or 16.
std::size_t LaneCount(Sha256LaneEngine engine);

// Lanes of the engine's narrower kernel, if it has one, else LaneCount:
// AVX-512 on a CPU with its 256-bit forms runs 8 messages, each faster than
// one of 16 in its full kernel; SHA-NI runs 2 streams, whose blocks take
// less time than 3 streams'. A caller with that many messages or fewer in
// flight digests them faster in lanes 0 to NarrowLaneCount - 1.
std::size_t NarrowLaneCount(Sha256LaneEngine engine);

// True when this build has the engine and this CPU runs it. The scalar
// engine is always supported.
bool Sha256LaneEngineSupported(Sha256LaneEngine engine);

// Sets lane's chaining words to the start words of FIPS 180-4.
void StartSha256Lane(Sha256LaneWords& words, std::size_t lane);

// Lane's eight chaining words, H0 to H7: what ResumeSha256 takes to finish
// its message on the scalar engine.
std::array<std::uint32_t, 8> Sha256LaneChain(const Sha256LaneWords& words, std::size_t lane);

// Moves a message from the scalar engine into lane: its chaining words.
// Requires Sha256BytesFed(state) to be a multiple of 64 (no partial block
// waiting in the state); the message then goes on in the lane from there.
void SetSha256Lane(Sha256LaneWords& words, std::size_t lane, const Sha256State& state);

// Runs `blocks` 64-byte blocks of the first `lanes` lanes (at most
// LaneCount(engine); all of them by default) through the compression
// function: lane i reads blocks * 64 bytes from data[i] and updates its words
// in place. With lanes <= NarrowLaneCount(engine), only lanes below
// NarrowLaneCount(engine) are run and the others' words are left as they
// were. Every lane that runs must point at readable bytes; a lane without a
// message may point at another lane's data and its words are then
// meaningless. Requires a supported engine.
void TransformSha256Lanes(Sha256LaneEngine engine, Sha256LaneWords& words, const std::uint8_t* const* data,
                          std::size_t blocks, std::size_t lanes = kSha256MaxLanes);

}  // namespace quillora

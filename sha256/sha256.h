// The SHA-256 message digest of FIPS 180-4 over bytes in memory: the engine
// of one message at a time, which can also take over a message that a lane
// kernel (sha256/sha256_lanes.h) began.
//
// StartSha256, any number of FeedSha256 calls, then FinishSha256, over a
// state with a 64-byte carry buffer. Each digest owns its own state; there is
// no global data but the choice of compression engine, so separate digests
// may run on separate threads. It knows nothing of files, streams or threads
// and includes nothing but the standard library.
//
// The compression function runs on one of two stream engines, chosen once
// at run time: portable C, or the processor's SHA instructions (SHA-NI) where
// it has them. Both give the same words; only the speed differs.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace quillora {

// The running state of one digest.
struct Sha256State {
  std::uint32_t h[8];       // chaining words H0 to H7
  std::uint64_t bytes;      // message bytes fed so far
  std::uint8_t buffer[64];  // bytes of a block not yet complete (bytes % 64 of them)
};

// The 32 digest bytes: H0 to H7, each most significant byte first.
using Sha256Bytes = std::array<std::uint8_t, 32>;

// Clears the state and sets the eight start words.
void StartSha256(Sha256State& state);

// Sets the state to go on with a message whose first `bytes` bytes (a
// multiple of 64) went through the compression function elsewhere (a lane
// kernel) and left the chaining words H0 to H7 in words.
void ResumeSha256(Sha256State& state, const std::uint32_t words[8], std::uint64_t bytes);

// How many bytes a state has been fed, across ResumeSha256 too. When it is a
// multiple of 64, state.h holds every byte fed and the message may go on in
// a lane (SetSha256Lane, sha256/sha256_lanes.h).
inline std::uint64_t Sha256BytesFed(const Sha256State& state) {
  return state.bytes;
}

// Adds count bytes to the message. Whole blocks are compressed straight from
// data; only a partial block is copied into the state. Any count, 0 included.
void FeedSha256(Sha256State& state, const void* data, std::size_t count);

// Pads, appends the length and returns the digest. The state is wiped to zero
// afterwards and must be started again before reuse.
Sha256Bytes FinishSha256(Sha256State& state);

// The digest of length bytes at data, in one call.
Sha256Bytes Sha256OfBuffer(const void* data, std::size_t length);

// The engines that compress one message's blocks.
enum class Sha256StreamEngine {
  kPortable,  // C, any processor
  kShaNi,     // the SHA instructions of x86 (with SSSE3 and SSE4.1)
};

// Every stream engine, slowest first.
inline constexpr Sha256StreamEngine kSha256StreamEngines[] = {Sha256StreamEngine::kPortable,
                                                              Sha256StreamEngine::kShaNi};

// The engine's name: "portable", "sha-ni".
std::string_view Sha256StreamEngineName(Sha256StreamEngine engine);

// True when this build has the engine and this CPU runs it. The portable
// engine is always supported.
bool Sha256StreamEngineSupported(Sha256StreamEngine engine);

// The engine digests use: the one forced by ForceSha256StreamEngine, else the
// fastest supported one, chosen once.
Sha256StreamEngine ActiveSha256StreamEngine();

// Makes every later compression use engine (for tests and benchmarks).
// Returns false, and changes nothing, when the engine is not supported here.
bool ForceSha256StreamEngine(Sha256StreamEngine engine);
// Goes back to the fastest supported engine.
void ClearForcedSha256StreamEngine();

namespace sha256_detail {
// Compresses `blocks` consecutive 64-byte blocks at data into h on the active
// stream engine: what FeedSha256 runs, and the lanes' one-lane engine.
void CompressSha256Blocks(std::uint32_t h[8], const std::uint8_t* data, std::size_t blocks);
}  // namespace sha256_detail

}  // namespace quillora

// BLAKE2b (RFC 7693), unkeyed, over bytes in memory: the engine alone.
//
// The digest's length is a parameter of the hash, not a cut of a longer
// digest: BLAKE2b-256 is not the first half of BLAKE2b-512. So one engine
// gives every length from 1 to 64 bytes (b2sum -l 8 to -l 512), each chosen
// when the message starts.
//
// StartBlake2b, any number of FeedBlake2b calls, then FinishBlake2b, over a
// state the caller owns. There is no global data besides the choice of
// compression function (made once, or forced by ForceBlake2bKernel), so
// separate states may run on separate threads. It knows nothing of files,
// streams or threads and includes nothing but the standard library.
//
// Unlike MD5, BLAKE2b marks its last block (the final flag), and the counter
// that goes into each block is the message's length up to that block's end.
// So a state holds back the last 1 to 128 bytes it was fed until it is sure
// more follow: a message of exactly 128 bytes is compressed once, in
// FinishBlake2b, with the flag set.
//
// Resuming elsewhere: a state is nothing but its eight chaining words, the
// number of bytes compressed into them (a multiple of 128) and the bytes held
// back. A lane kernel that runs whole blocks of many messages (none of them a
// message's last block) hands each message's words and byte count to
// ResumeBlake2b, which gives a state that goes on as if it had been fed those
// bytes itself; the kernel takes a state's words back from `h` and
// `compressed` when it holds nothing back (`held` 0).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace quillora {

inline constexpr std::size_t kBlake2bBlockSize = 128;
inline constexpr std::size_t kBlake2bMaxBytes = 64;  // the longest digest, BLAKE2b-512

// The running state of one message.
struct Blake2bState {
  std::uint64_t h[8];                     // chaining words
  std::uint64_t compressed;               // message bytes compressed into h: whole blocks
  std::uint8_t block[kBlake2bBlockSize];  // bytes fed and not yet compressed
  std::size_t held;                       // how many: 0 to 128, 1 to 128 once any byte came
  std::size_t out_bytes;                  // the digest's length, 1 to 64
};

// A digest: its first `size` bytes are in use.
struct Blake2bDigest {
  std::array<std::uint8_t, kBlake2bMaxBytes> bytes{};
  std::size_t size = 0;

  std::span<const std::uint8_t> view() const { return {bytes.data(), size}; }
};

// Starts an empty message whose digest will be out_bytes long (1 to 64).
void StartBlake2b(Blake2bState& state, std::size_t out_bytes);

// Sets the state to go on with a message whose first `bytes` bytes (a
// multiple of 128, not the whole message) went through the compression
// function elsewhere and left the chaining words `words`. At least one more
// byte must be fed before FinishBlake2b: the last block is the engine's.
void ResumeBlake2b(Blake2bState& state, std::size_t out_bytes, const std::uint64_t words[8], std::uint64_t bytes);

// Adds count bytes to the message; any count, 0 included. Whole blocks are
// compressed straight from data; only the bytes held back are copied.
void FeedBlake2b(Blake2bState& state, const void* data, std::size_t count);

// Compresses the last block with the final flag and returns the digest,
// out_bytes long. The state is wiped to zero and must be started again
// before reuse.
Blake2bDigest FinishBlake2b(Blake2bState& state);

// The digest, out_bytes long, of `bytes` in one call.
Blake2bDigest Blake2bOf(std::size_t out_bytes, std::string_view bytes);

// The compression functions this build has.
enum class Blake2bKernel : std::uint8_t {
  kPortable,  // plain C++, any CPU
  kAvx2,      // one message in 256-bit registers: x86-64 with AVX2, not in Windows builds
};

// True when this build has the kernel and this CPU runs it.
bool Blake2bKernelSupported(Blake2bKernel kernel);

// The kernel every state uses: the one forced, else the fastest one
// supported here, chosen once.
Blake2bKernel Blake2bKernelInUse();

// Makes every later compression use kernel (for tests and benchmarks).
// Returns false, and changes nothing, when it is not supported here.
bool ForceBlake2bKernel(Blake2bKernel kernel);
// Goes back to the kernel chosen for this CPU.
void ClearForcedBlake2bKernel();

// Runs `count` whole blocks at data through kernel's compression function,
// none of them a message's last: block i gets the counter compressed +
// 128 * (i + 1). Requires a supported kernel.
void CompressBlake2b(Blake2bKernel kernel, std::uint64_t words[8], const std::uint8_t* data, std::size_t count,
                     std::uint64_t compressed);

// Runs a message's last block (already padded with zeros to 128 bytes)
// through kernel's compression function, with the final flag and the
// message's whole length as the counter.
void CompressLastBlake2b(Blake2bKernel kernel, std::uint64_t words[8], const std::uint8_t* block,
                         std::uint64_t message_bytes);

}  // namespace quillora

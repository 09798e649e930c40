// The MD5 message digest of RFC 1321 over bytes in memory: the engine alone.
//
// The engine follows the reference structure: StartDigest, any number of
// FeedDigest calls, then FinishDigest, over a state with a 64-byte carry
// buffer. Each digest owns its own state; there is no global data, so
// separate digests may run on separate threads. It knows nothing of files,
// streams or threads (digests/file_digest.h reads files) and includes nothing
// but the standard library.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quillora {

// The running state of one digest.
struct DigestState {
  std::uint32_t a, b, c, d;       // chaining words
  std::uint32_t count[2];         // message length in bits, low word first
  std::uint8_t buffer[64];        // bytes of a block not yet complete
};

// The 16 digest bytes: A, B, C, D, each least significant byte first.
using DigestBytes = std::array<std::uint8_t, 16>;

// Clears the state and sets the four start words.
void StartDigest(DigestState& state);

// Sets the state to go on with a message whose first `bytes` bytes (a
// multiple of 64) went through the compression function elsewhere (a lane
// kernel) and left the chaining words A, B, C, D in words.
void ResumeDigest(DigestState& state, const std::uint32_t words[4], std::uint64_t bytes);

// How many bytes a state has been fed: its bit count, in bytes.
inline std::uint64_t BytesFed(const DigestState& state) {
  return ((static_cast<std::uint64_t>(state.count[1]) << 32) | state.count[0]) / 8;
}

// Adds count bytes to the message. Whole blocks are transformed straight from
// data; only a partial block is copied into the state. Any count, 0 included.
void FeedDigest(DigestState& state, const void* data, std::size_t count);

// Pads, appends the length and returns the digest. The state is wiped to zero
// afterwards and must be started again before reuse.
DigestBytes FinishDigest(DigestState& state);

// The digest of length bytes at data, or of text, in one call.
DigestBytes DigestOfBuffer(const void* data, std::size_t length);
DigestBytes DigestOfText(std::string_view text);

// The 32-character text, two upper-case hexadecimal digits per byte; or
// lower-case ones, the text every job shows, writes and compares.
std::string DigestToHex(const DigestBytes& digest);
std::string DigestToLowerHex(const DigestBytes& digest);

// Lower-cases the letters A to Z only; every other byte stays as it is.
std::string LowerAscii(std::string text);
// Whether a and b are the same once both are lower-cased so.
bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b);

}  // namespace quillora

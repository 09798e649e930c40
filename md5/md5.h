// The MD5 message digest of RFC 1321, over memory, streams and whole files.
//
// The engine follows the reference structure: StartDigest, any number of
// FeedDigest calls, then FinishDigest, over a state with a 64-byte carry
// buffer. Each digest owns its own state; there is no global data, so
// separate digests may run on separate threads.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

#include "platform/env.h"
#include "platform/stream.h"

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

// Adds count bytes to the message. Whole blocks are transformed straight from
// data; only a partial block is copied into the state. Any count, 0 included.
void FeedDigest(DigestState& state, const void* data, std::size_t count);

// Pads, appends the length and returns the digest. The state is wiped to zero
// afterwards and must be started again before reuse.
DigestBytes FinishDigest(DigestState& state);

DigestBytes DigestOfBuffer(const void* data, std::size_t length);
DigestBytes DigestOfText(std::string_view text);

// The digest of the whole stream from its first byte, read in 4096-byte
// blocks. Reading stops at a read of 0 bytes or when the total reaches the
// size taken at the start. A failed read counts as the end: the digest then
// covers the bytes read so far. The stream's position is restored.
DigestBytes DigestOfStream(Stream& stream);

// The digest of a file's content. Raises SystemError with the text
// "Cannot open file "<absolute path>". <system message>" when the file cannot
// be opened, and the same form of text when a read fails part way, so a
// partial digest is never passed off as the file's.
DigestBytes DigestOfFile(const std::string& path, Env& env = Env::Default());

// From this many bytes left to read, a file is read on a second thread while
// it is hashed.
inline constexpr std::int64_t kOverlapFrom = 8 << 20;

// Feeds the rest of an open file to state: the file's first `total` bytes
// (of the `size` it had when opened) were fed already. Reads as DigestOfFile
// does, on a second thread from kOverlapFrom bytes left. Returns 0, or the system error
// number of a failed read.
int FeedRestOfFile(DigestState& state, Stream& file, std::int64_t size, std::int64_t total);

// The 32-character text, two upper-case hexadecimal digits per byte.
std::string DigestToHex(const DigestBytes& digest);

// DigestToHex(DigestOfFile(path)): the upper-case digest text of a file.
// Errors pass through unchanged.
std::string FileDigestText(const std::string& path, Env& env = Env::Default());

// Lower-cases the letters A to Z only; every other byte stays as it is.
std::string LowerAscii(std::string text);

}  // namespace quillora

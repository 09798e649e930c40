// Digests of streams and whole files: the engine of md5/md5.h fed from the
// platform's streams. A large file is read on a second thread while it is
// hashed.
#pragma once

#include <cstdint>
#include <string>

#include "md5/md5.h"
#include "platform/env.h"
#include "platform/stream.h"

namespace quillora {

// The digest of the whole stream from its first byte, read in 4096-byte
// blocks. Reading stops at a read of 0 bytes or when the total reaches the
// size taken at the start. A failed read counts as the end: the digest then
// covers the bytes read so far. The stream's position is restored.
DigestBytes DigestOfStream(Stream& stream);

// The digest of a file's content, over the size it had when it was opened:
// bytes appended while it is read are left out. Raises SystemError with the
// text "Cannot open file "<absolute path>". <system message>" when the file
// cannot be opened, and the same form of text when a read fails part way, so a
// partial digest is never passed off as the file's.
DigestBytes DigestOfFile(const std::string& path, Env& env = Env::Default());

// From this many bytes left to read, a file is read on a second thread while
// it is hashed.
inline constexpr std::int64_t kOverlapFrom = 8 << 20;

// Feeds the rest of an open file to state: the file's first `total` bytes
// (of the `size` it had when opened) were fed already. Reads as DigestOfFile
// does, on a second thread from kOverlapFrom bytes left. Returns 0, or the
// system error number of a failed read.
int FeedRestOfFile(DigestState& state, Stream& file, std::int64_t size, std::int64_t total);

// DigestToHex(DigestOfFile(path)): the upper-case digest text of a file.
// Errors pass through unchanged.
std::string FileDigestText(const std::string& path, Env& env = Env::Default());

}  // namespace quillora

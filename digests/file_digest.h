// Digests of whole files: the engine of md5/md5.h fed from the platform's
// streams. A digest is of one version of the file: a file that changes while
// it is read has none (kChangedWhileRead). A large file is read on a second
// thread while it is hashed.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "hashes/own_state.h"
#include "hashes/streaming_digest.h"  // DigestValues
#include "md5/md5.h"
#include "platform/env.h"
#include "platform/stream.h"

namespace quillora {

// The one way a digest reads an open file, whatever reads it (in turn, on a
// second thread, in a lane): reading ends at the size the file had when it
// was opened, or (a size of 0, as files under /proc report, or -1, a stream
// of unknown size) at a read of 0 bytes. An end before that size, a byte
// past it (the last read asks for one more, and a file that ends exactly at
// a full buffer is read once more), or a size or time that differs after the
// last read (Stream::ChangeSinceOpen) means the file changed while it was
// read: no version of it has the digest of what was read.
class BoundedRead {
 public:
  // file: open, positioned after its first `done` bytes; size: its size when
  // it was opened.
  BoundedRead(Stream& file, std::int64_t size, std::int64_t done = 0) : file_(&file), size_(size), done_(done) {}

  // Reads up to n bytes (n > 0) into buffer. Returns the count, 0 once the
  // file is read whole and unchanged (without another read when the last one
  // met the size), or -1 when a read failed or the file changed: error()
  // then holds the system error number, or kChangedWhileRead.
  std::int64_t Next(void* buffer, std::size_t n);

  // True once no read is left to make: the file is read whole, or failed.
  bool finished() const { return finished_; }
  // Bytes left up to the size at open, and bytes read.
  std::int64_t left() const { return size_ - done_; }
  std::uint64_t done() const { return static_cast<std::uint64_t>(done_); }
  int error() const { return error_; }

  // Keeps the system reading about window bytes ahead of the reads (see
  // Stream::ReadAhead), asking again for at least piece bytes each time
  // that much of it has been read.
  void KeepReadingAhead(std::int64_t window, std::int64_t piece);

 private:
  std::int64_t Fail(int error);
  int ReadError() const;  // the stream's number for a failed read

  Stream* file_;
  std::int64_t size_;
  std::int64_t done_;
  std::int64_t asked_to_ = 0;  // ReadAhead asked for every byte before this
  bool finished_ = false;
  int error_ = 0;
};

// The digest of an open file from its first byte, over Stream::Size(), the
// size it had when opened; a stream of unknown size (-1: standard input) is
// read to its end. Returns 0 with digest set, or the system error
// number of a failed read, or kChangedWhileRead; the digest of what was read
// is then wiped, never passed off as the file's.
int DigestOfOpenFile(Stream& file, DigestBytes& digest);

// The digests of an open file, each member of digests (not empty) in one
// reading of it from its first byte, read as DigestOfOpenFile reads: one of
// this program's own on its one-stream engine, any set through the streaming
// digest. Returns 0 with values holding each member in the table's order and
// bytes (when given) the bytes read, or the error number (values then empty).
int DigestsOfOpenFile(Stream& file, DigestSet digests, DigestValues& values, std::uint64_t* bytes = nullptr);

// Feeds the rest of a file that read has begun to state, reading on a second
// thread while it hashes from kOverlapFrom bytes left. Returns 0, or the
// error number as BoundedRead::error() gives it.
int FeedRestOfFile(OwnState& state, BoundedRead& read);

// From this many bytes left to read, a file is read on a second thread while
// it is hashed.
inline constexpr std::int64_t kOverlapFrom = 8 << 20;

// The digest of a file's content. Raises SystemError with the text
// "Cannot open file "<absolute path>". <system message>" when the file cannot
// be opened, and the same form of text when a read fails part way or the file
// changed while it was read.
DigestBytes DigestOfFile(const std::string& path, Env& env = Env::Default());

// DigestToHex(DigestOfFile(path)): the upper-case digest text of a file.
// Errors pass through unchanged.
std::string FileDigestText(const std::string& path, Env& env = Env::Default());

}  // namespace quillora

// A readable, seekable byte stream: what the digest engine reads from.
// Not thread-safe: one thread at a time (a large file's reader thread takes
// it over from the digest's caller and hands it back when it ends).
#pragma once

#include <cstddef>
#include <cstdint>

namespace quillora {

class Stream {
 public:
  virtual ~Stream() = default;

  // Total size in bytes, or -1 when it cannot be taken.
  virtual std::int64_t Size() = 0;
  // Current read position, or -1 when it cannot be taken.
  virtual std::int64_t Position() = 0;
  // Moves the read position; false on failure.
  virtual bool Seek(std::int64_t position) = 0;
  // Reads up to n bytes into buffer. Returns the count read, 0 at the end,
  // or -1 on failure (errno-style detail in last_error()).
  virtual std::int64_t Read(void* buffer, std::size_t n) = 0;
  // The system error number of the last failed call, 0 if none failed.
  virtual int last_error() const { return 0; }
  // True when the file still has the size and modification time it had when
  // it was opened; false when either differs or they cannot be taken. A
  // digest asks after its last read, so that it is of one version of the
  // file. Every stream answers (a wrapper forwards): a stream that cannot
  // change (bytes in memory) is always unchanged.
  virtual bool Unchanged() = 0;
  // A hint that bytes [from, from + bytes) will be read soon: a file stream
  // may have the system start reading them now, so several reads are in
  // flight while one thread hashes. Changes nothing a read returns; a
  // wrapper forwards it. By default nothing happens.
  virtual void ReadAhead(std::int64_t from, std::int64_t bytes) { static_cast<void>(from), static_cast<void>(bytes); }
};

// A stream read once from its start to its end, of a size not known
// beforehand (standard input): it has no size, position or seek, and one
// version, what was read. A digest reads it to its end.
class OneWayStream : public Stream {
 public:
  std::int64_t Size() override { return -1; }
  std::int64_t Position() override { return -1; }
  bool Seek(std::int64_t) override { return false; }
  bool Unchanged() override { return true; }
};

}  // namespace quillora

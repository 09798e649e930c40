// A readable, seekable byte stream: what the digest engine reads from.
// Not thread-safe: one thread at a time (a large file's reader thread takes
// it over from the digest's caller and hands it back when it ends).
#pragma once

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

namespace quillora {

// The error number of a digest whose file changed while it was read: it ended
// before the size it had when opened, or its size or times differed after
// the last read. No version of the file has that digest.
inline constexpr int kChangedWhileRead = -1001;

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
  // 0 when the file still has the size, modification time and change time
  // it had when it was opened; kChangedWhileRead when one differs; the
  // system error number when they cannot be taken (a disk that fails now is
  // no change of the file). A digest asks after its last read, so that it is
  // of one version of the file. Every stream answers (a wrapper forwards): a
  // stream that cannot change (bytes in memory) is always unchanged.
  virtual int ChangeSinceOpen() = 0;
  // How much longer the file's last change is too recent to trust: a write
  // that was running when it was opened leaves no mark on its size or times
  // (they were set as it began), so a digest of a file changed within
  // kSettleTime before its open may hold part of each version, and is
  // checked by reading the file twice. Zero when it was changed longer ago,
  // or cannot change while it is read (a file others may not write while it
  // is open, bytes in memory).
  virtual std::chrono::nanoseconds Unsettled() const { return std::chrono::nanoseconds(0); }
  static constexpr std::chrono::seconds kSettleTime{1};
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
  int ChangeSinceOpen() override { return 0; }
};

// A stream that hands every call to the stream it wraps: a wrapper (one that
// counts, or fails on purpose) overrides only what it changes.
class WrappingStream : public Stream {
 public:
  explicit WrappingStream(std::unique_ptr<Stream> wrapped) : wrapped_(std::move(wrapped)) {}
  std::int64_t Size() override { return wrapped_->Size(); }
  std::int64_t Position() override { return wrapped_->Position(); }
  bool Seek(std::int64_t position) override { return wrapped_->Seek(position); }
  std::int64_t Read(void* buffer, std::size_t n) override { return wrapped_->Read(buffer, n); }
  int last_error() const override { return wrapped_->last_error(); }
  int ChangeSinceOpen() override { return wrapped_->ChangeSinceOpen(); }
  std::chrono::nanoseconds Unsettled() const override { return wrapped_->Unsettled(); }
  void ReadAhead(std::int64_t from, std::int64_t bytes) override { wrapped_->ReadAhead(from, bytes); }

 protected:
  Stream& wrapped() { return *wrapped_; }
  // Closes the wrapped stream now: for a wrapper whose own end must come
  // after the file's close (its members go before this base does).
  void CloseWrapped() { wrapped_.reset(); }

 private:
  std::unique_ptr<Stream> wrapped_;
};

// Bytes in memory: read and sought like a file that never changes.
class MemoryStream : public Stream {
 public:
  explicit MemoryStream(std::string bytes) : bytes_(std::move(bytes)) {}
  std::int64_t Size() override { return static_cast<std::int64_t>(bytes_.size()); }
  std::int64_t Position() override { return static_cast<std::int64_t>(at_); }
  bool Seek(std::int64_t position) override {
    if (position < 0) return false;
    at_ = static_cast<std::size_t>(position);
    return true;
  }
  std::int64_t Read(void* buffer, std::size_t n) override {
    const std::size_t count = at_ < bytes_.size() ? std::min(n, bytes_.size() - at_) : 0;
    std::memcpy(buffer, bytes_.data() + at_, count);
    at_ += count;
    return static_cast<std::int64_t>(count);
  }
  int ChangeSinceOpen() override { return 0; }

 private:
  std::string bytes_;
  std::size_t at_ = 0;
};

}  // namespace quillora

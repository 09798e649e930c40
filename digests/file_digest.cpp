#include "digests/file_digest.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>
#include <thread>

#include "hashes/streaming_digest.h"
#include "platform/errors.h"

namespace quillora {
namespace {

// Files are read in 64 KiB blocks: 4096-byte reads cost a few percent of the
// hashing time on their own. 64 KiB measured best of 4 KiB to 1 MiB on a
// 1 GiB cached file, and still fits the L2 cache.
constexpr std::size_t kFileBlock = 64 * 1024;

constexpr std::size_t kOverlapBlock = 512 << 10;
// Blocks a large file's reader may get ahead of its hashing. Two of 1 MiB
// were not enough when the file is not cached: while a read waits on the
// disk, or the reader asks for the next piece, the hashing soon caught up
// and waited too. Eight of 512 KiB give it seven blocks of slack in 4 MiB.
constexpr int kOverlapBuffers = 8;
// How far ahead of its hashing a large file is read, asked for in pieces as
// the reading moves on: asked for in halves of the window, the disk had
// bursts of work with gaps in between, and the hashing waited on it. Pieces
// of 4 MiB did best of 2 to 16 MiB on a virtual disk, not cached.
constexpr std::int64_t kReadAheadWindow = 32 << 20;
constexpr std::int64_t kReadAheadPiece = 4 << 20;

using FeedFn = std::function<void(const std::uint8_t*, std::size_t)>;

// Reads the file in turn with its hashing. Returns 0 or BoundedRead's error.
int ReadInTurn(BoundedRead& read, const FeedFn& feed) {
  // One block per thread for all its files: no allocation per file.
  thread_local std::unique_ptr<std::uint8_t[]> block(new std::uint8_t[kFileBlock]);
  std::int64_t got;
  while ((got = read.Next(block.get(), kFileBlock)) > 0) feed(block.get(), static_cast<std::size_t>(got));
  return read.error();
}

// The same loop for a large file, with the reading on a thread of its own so
// the next blocks are read while this one is hashed.
int ReadOverlapped(BoundedRead& read, const FeedFn& feed) {
  struct Buffer {
    std::unique_ptr<std::uint8_t[]> bytes{new std::uint8_t[kOverlapBlock]};
    std::int64_t got = 0;
    bool full = false;
  };
  Buffer buffers[kOverlapBuffers];
  const auto after = [](int i) { return i + 1 == kOverlapBuffers ? 0 : i + 1; };
  std::mutex mutex;
  std::condition_variable_any changed;
  int error = 0;
  std::exception_ptr fault;  // what a read threw
  std::jthread reader([&](std::stop_token stop) {
    for (int i = 0;; i = after(i)) {
      Buffer& buffer = buffers[i];
      {
        std::unique_lock lock(mutex);
        if (!changed.wait(lock, stop, [&] { return !buffer.full; })) return;
      }
      std::int64_t got = -1;
      std::exception_ptr thrown;
      try {
        // A disk that is not cached gets many reads at once, not one block
        // at a time behind the hashing.
        read.KeepReadingAhead(kReadAheadWindow, kReadAheadPiece);
        got = read.Next(buffer.bytes.get(), kOverlapBlock);
      } catch (...) {  // thrown on in the hasher's thread: it must not end the program here
        thrown = std::current_exception();
      }
      const bool last = got <= 0 || read.finished();
      {
        std::lock_guard lock(mutex);
        buffer.got = got;
        buffer.full = true;
        if (got < 0) error = read.error();
        if (thrown) fault = std::move(thrown);
      }
      changed.notify_all();
      if (last) {
        if (got > 0) {  // mark the end for the hasher with an empty block
          Buffer& end = buffers[after(i)];
          std::unique_lock lock(mutex);
          if (!changed.wait(lock, stop, [&] { return !end.full; })) return;
          end.got = 0;
          end.full = true;
          lock.unlock();
          changed.notify_all();
        }
        return;
      }
    }
  });
  for (int i = 0;; i = after(i)) {
    Buffer& buffer = buffers[i];
    {
      std::unique_lock lock(mutex);
      changed.wait(lock, [&] { return buffer.full; });
      if (fault) std::rethrow_exception(fault);
      if (buffer.got <= 0) return buffer.got < 0 ? error : 0;
    }
    feed(buffer.bytes.get(), static_cast<std::size_t>(buffer.got));
    {
      std::lock_guard lock(mutex);
      buffer.full = false;
    }
    changed.notify_all();
  }
}

[[noreturn]] void ThrowFileError(const std::string& path, int number) {
  throw SystemError::WithText(number, "Cannot open file \"" + AbsolutePath(path) + "\". " + SystemErrorMessage(number));
}

}  // namespace

std::int64_t BoundedRead::Fail(int error) {
  error_ = error;
  finished_ = true;
  return -1;
}

std::int64_t BoundedRead::Next(void* buffer, std::size_t n) {
  if (finished_) return error_ != 0 ? -1 : 0;
  if (done_ < size_) n = static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(n), size_ - done_));
  const std::int64_t got = file_->Read(buffer, n);
  if (got < 0) {
    const int number = file_->last_error();  // a stream that gives none still failed
    return Fail(number != 0 ? number : EIO);
  }
  if (got == 0 && done_ < size_) return Fail(kChangedWhileRead);  // cut short since it was opened
  done_ += got;
  if (got == 0 || done_ == size_) {
    finished_ = true;
    if (!file_->Unchanged()) return Fail(kChangedWhileRead);
  }
  return got;
}

void BoundedRead::KeepReadingAhead(std::int64_t window, std::int64_t piece) {
  if (asked_to_ >= size_ || asked_to_ - done_ > window - piece) return;
  const std::int64_t from = std::max(asked_to_, done_);
  asked_to_ = std::min(size_, done_ + window);
  if (asked_to_ > from) file_->ReadAhead(from, asked_to_ - from);
}

int FeedRestOfFile(DigestState& state, BoundedRead& read) {
  const auto feed = [&state](const std::uint8_t* bytes, std::size_t n) { FeedDigest(state, bytes, n); };
  return read.left() >= kOverlapFrom ? ReadOverlapped(read, feed) : ReadInTurn(read, feed);
}

int DigestOfOpenFile(Stream& file, DigestBytes& digest) {
  DigestState state;
  StartDigest(state);
  BoundedRead read(file, file.Size());
  const int error = FeedRestOfFile(state, read);
  digest = FinishDigest(state);  // also wipes the state
  if (error != 0) digest = DigestBytes{};
  return error;
}

int DigestsOfOpenFile(Stream& file, DigestSet digests, DigestValues& values) {
  values.clear();
  StreamingDigest digest(digests);
  BoundedRead read(file, file.Size());
  const auto feed = [&digest](const std::uint8_t* bytes, std::size_t n) { digest.Update(bytes, n); };
  const int error = read.left() >= kOverlapFrom ? ReadOverlapped(read, feed) : ReadInTurn(read, feed);
  if (error != 0) return error;
  digest.Finish();
  for (const DigestId id : digests) values.emplace_back(id, digest.Value(id));
  return 0;
}

DigestBytes DigestOfFile(const std::string& path, Env& env) {
  std::unique_ptr<Stream> file;
  try {
    file = env.OpenForDigest(path);
  } catch (const SystemError& e) {
    ThrowFileError(path, e.number());
  }
  DigestBytes digest;
  if (const int error = DigestOfOpenFile(*file, digest)) ThrowFileError(path, error);
  return digest;
}

std::string FileDigestText(const std::string& path, Env& env) { return DigestToHex(DigestOfFile(path, env)); }

}  // namespace quillora

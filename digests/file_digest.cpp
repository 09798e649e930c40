#include "digests/file_digest.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <new>
#include <thread>

#include "hashes/streaming_digest.h"
#include "platform/errors.h"
#include "platform/mutex.h"

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

// Read buffers start on a page: the system copies a cached file into a
// buffer 16 bytes past a page's start several times slower (1 GiB took 0.53
// to 0.68 s of system time so on a virtual machine, 0.12 to 0.14 s page-aligned).
constexpr std::align_val_t kBufferAlignment{4096};
struct AlignedDelete {
  void operator()(std::uint8_t* bytes) const { ::operator delete(bytes, kBufferAlignment); }
};
using Buffer = std::unique_ptr<std::uint8_t[], AlignedDelete>;
Buffer NewBuffer(std::size_t bytes) {
  return Buffer(static_cast<std::uint8_t*>(::operator new(bytes, kBufferAlignment)));
}

// Reads the file in turn with its hashing. Returns 0 or BoundedRead's error.
int ReadInTurn(BoundedRead& read, const FeedFn& feed) {
  // One block per thread for all its files: no allocation per file.
  thread_local Buffer block = NewBuffer(kFileBlock);
  std::int64_t got;
  while ((got = read.Next(block.get(), kFileBlock)) > 0) feed(block.get(), static_cast<std::size_t>(got));
  return read.error();
}

// The same loop for a large file, with the reading on a thread of its own so
// the next blocks are read while this one is hashed: a ring of buffers, each
// full or empty, handed between the two threads under the mutex.
class OverlappedRead {
 public:
  explicit OverlappedRead(BoundedRead& read) : read_(read) {
    for (auto& bytes : bytes_) bytes = NewBuffer(kOverlapBlock);
    reader_ = std::thread([this] { ReadAll(); });
  }
  ~OverlappedRead() {
    {
      MutexLock lock(mutex_);
      stop_ = true;
    }
    changed_.NotifyAll();
    reader_.join();
  }

  // Feeds each block as it comes; returns 0 or BoundedRead's error, and
  // rethrows what a read threw.
  int FeedAll(const FeedFn& feed) EXCLUDES(mutex_) {
    for (int i = 0;; i = After(i)) {
      std::int64_t got;
      {
        MutexLock lock(mutex_);
        while (!full_[i]) changed_.Wait(mutex_);
        if (fault_) std::rethrow_exception(fault_);
        got = got_[i];
        if (got <= 0) return got < 0 ? error_ : 0;
      }
      feed(bytes_[i].get(), static_cast<std::size_t>(got));
      {
        MutexLock lock(mutex_);
        full_[i] = false;
      }
      changed_.NotifyAll();
    }
  }

 private:
  static int After(int i) { return i + 1 == kOverlapBuffers ? 0 : i + 1; }

  // The reader's thread: fills each buffer in turn, then an empty block at
  // the end for the hasher.
  void ReadAll() EXCLUDES(mutex_) {
    for (int i = 0;; i = After(i)) {
      if (!WaitEmpty(i)) return;
      std::int64_t got = -1;
      std::exception_ptr thrown;
      try {
        // A disk that is not cached gets many reads at once, not one block
        // at a time behind the hashing.
        read_.KeepReadingAhead(kReadAheadWindow, kReadAheadPiece);
        got = read_.Next(bytes_[i].get(), kOverlapBlock);
      } catch (...) {  // thrown on in the hasher's thread: it must not end the program here
        thrown = std::current_exception();
      }
      const bool last = got <= 0 || read_.finished();
      Put(i, got, std::move(thrown));
      if (last) {
        if (got > 0 && WaitEmpty(After(i))) Put(After(i), 0, nullptr);
        return;
      }
    }
  }
  // Waits until buffer i is empty; false once stopped.
  bool WaitEmpty(int i) EXCLUDES(mutex_) {
    MutexLock lock(mutex_);
    while (!stop_ && full_[i]) changed_.Wait(mutex_);
    return !stop_;
  }
  void Put(int i, std::int64_t got, std::exception_ptr thrown) EXCLUDES(mutex_) {
    {
      MutexLock lock(mutex_);
      got_[i] = got;
      full_[i] = true;
      if (got < 0) error_ = read_.error();
      if (thrown) fault_ = std::move(thrown);
    }
    changed_.NotifyAll();
  }

  BoundedRead& read_;
  // Each buffer's bytes belong to whichever side its full_ says: written by
  // the reader while empty, read by the hasher while full.
  Buffer bytes_[kOverlapBuffers];
  Mutex mutex_;
  CondVar changed_;
  std::int64_t got_[kOverlapBuffers] GUARDED_BY(mutex_) = {};
  bool full_[kOverlapBuffers] GUARDED_BY(mutex_) = {};
  int error_ GUARDED_BY(mutex_) = 0;
  std::exception_ptr fault_ GUARDED_BY(mutex_);  // what a read threw
  bool stop_ GUARDED_BY(mutex_) = false;
  std::thread reader_;
};

int ReadOverlapped(BoundedRead& read, const FeedFn& feed) {
  OverlappedRead overlapped(read);
  return overlapped.FeedAll(feed);
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
  // Without a size to go by (0, as files under /proc report, or -1), to a
  // read of 0 bytes.
  const bool sized = done_ < size_;
  const std::int64_t left = size_ - done_;
  // The last read asks for a byte past the size: a file that holds more than
  // its size said (some file systems say less) gives it, and is no version
  // whose digest this could be.
  const std::size_t ask =
      sized ? static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(n), left + 1)) : n;
  const std::int64_t got = file_->Read(buffer, ask);
  if (got < 0) return Fail(ReadError());
  if (sized) {
    if (got == 0 || got > left) return Fail(kChangedWhileRead);  // cut short, or longer than said
    done_ += got;
    if (done_ < size_) return got;
    // At the size, with no byte asked past it (the buffer held no more):
    // one read more tells whether the file ends here. It reads nothing of
    // the file, so its failure says nothing of what was read, as a read past
    // the end of the last read would not have: the end is taken as found.
    char past;
    if (static_cast<std::int64_t>(ask) == left && file_->Read(&past, 1) > 0) return Fail(kChangedWhileRead);
  } else {
    done_ += got;
    if (got != 0) return got;
  }
  finished_ = true;
  if (const int change = file_->ChangeSinceOpen()) return Fail(change);
  return got;
}

int BoundedRead::ReadError() const {
  const int number = file_->last_error();  // a stream that gives none still failed
  return number != 0 ? number : EIO;
}

void BoundedRead::KeepReadingAhead(std::int64_t window, std::int64_t piece) {
  if (asked_to_ >= size_ || asked_to_ - done_ > window - piece) return;
  const std::int64_t from = std::max(asked_to_, done_);
  asked_to_ = std::min(size_, done_ + window);
  if (asked_to_ > from) file_->ReadAhead(from, asked_to_ - from);
}

namespace {

// A large file's rest is read on a thread of its own while it is hashed.
int ReadRest(BoundedRead& read, const FeedFn& feed) {
  return read.left() >= kOverlapFrom ? ReadOverlapped(read, feed) : ReadInTurn(read, feed);
}

}  // namespace

int FeedRestOfFile(OwnState& state, BoundedRead& read) {
  return ReadRest(read, [&state](const std::uint8_t* bytes, std::size_t n) { FeedOwn(state, bytes, n); });
}

int DigestOfOpenFile(Stream& file, DigestBytes& digest) {
  DigestValues values;
  const int error = DigestsOfOpenFile(file, DigestSet{DigestId::kMd5}, values);
  digest = DigestBytes{};
  if (error == 0) std::copy_n(values.front().second.bytes.begin(), digest.size(), digest.begin());
  return error;
}

int DigestsOfOpenFile(Stream& file, DigestSet digests, DigestValues& values, std::uint64_t* bytes) {
  values.clear();
  BoundedRead read(file, file.Size());
  if (digests.size() == 1 && IsOwnDigest(*digests.begin())) {
    OwnState state = StartOwn(*digests.begin());
    const int error = FeedRestOfFile(state, read);
    const DigestValue value = FinishOwn(state);  // also wipes the state
    if (error != 0) return error;  // what was read is never passed off as the file's
    values.emplace_back(*digests.begin(), value);
  } else {
    StreamingDigest digest(digests);
    const auto feed = [&digest](const std::uint8_t* chunk, std::size_t n) { digest.Update(chunk, n); };
    if (const int error = ReadRest(read, feed)) return error;
    digest.Finish();
    for (const DigestId id : digests) values.emplace_back(id, digest.Value(id));
  }
  if (bytes != nullptr) *bytes = read.done();
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

// Reads a FileLanes's next chunks on a thread of its own while its kernel
// hashes the current ones. On a cached file the copy out of the page cache
// takes about as long as the hashing (four tenths of a one-thread run of
// eight large files), so with the reads on another core the lanes run at
// the kernel's pace.
//
// One thread, the hasher, starts reads and collects them; the reader thread
// starts with the first read and is joined when the object goes. Reads are
// made in the order started.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <thread>

#include "digests/file_digest.h"
#include "platform/mutex.h"

namespace quillora {

class ChunkReader {
 public:
  // slots: reads that may be under way at once, numbered from 0 (a lane each).
  explicit ChunkReader(std::size_t slots);
  // Drops the reads not begun, waits for the one under way, ends the thread.
  ~ChunkReader();
  ChunkReader(const ChunkReader&) = delete;
  ChunkReader& operator=(const ChunkReader&) = delete;

  // Starts filling buffer with up to n bytes (n > 0) of read, in as many
  // reads as it takes to fill it or to finish read. slot must have no read
  // started and not collected. Until Collect(slot), the caller touches
  // neither read, its stream, nor buffer. Raises what a thread's start
  // raises.
  void Start(std::size_t slot, BoundedRead& read, std::uint8_t* buffer, std::size_t n) EXCLUDES(mutex_);
  // Waits for slot's read: the bytes it put in buffer (0: read had finished
  // before), or -1 when a read failed or the file changed (read.error() says
  // why). Rethrows what the read threw.
  std::int64_t Collect(std::size_t slot) EXCLUDES(mutex_);
  // Drops every read not begun and waits for the one under way: the caller
  // may then close any stream. Nothing is to be collected after it.
  void Cancel() EXCLUDES(mutex_);

 private:
  struct Request {
    BoundedRead* read = nullptr;
    std::uint8_t* buffer = nullptr;
    std::size_t n = 0;
    bool done = false;
    std::int64_t got = 0;
    std::exception_ptr fault;  // what the read threw, for the hasher
  };
  void Work() EXCLUDES(mutex_);
  // Makes one request's reads on the reader thread, without the lock.
  static void Read(Request& request);

  Mutex mutex_;
  CondVar queued_;  // the reader's
  CondVar done_;    // the hasher's
  std::unique_ptr<Request[]> requests_ GUARDED_BY(mutex_);
  std::deque<std::size_t> queue_ GUARDED_BY(mutex_);  // slots started and not begun, in order
  bool reading_ GUARDED_BY(mutex_) = false;            // a request is under way, off the queue
  bool stop_ GUARDED_BY(mutex_) = false;
  std::thread thread_;  // started with the first read
};

}  // namespace quillora

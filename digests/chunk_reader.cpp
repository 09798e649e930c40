#include "digests/chunk_reader.h"

#include <cassert>
#include <utility>

namespace quillora {

ChunkReader::ChunkReader(std::size_t slots) : requests_(new Request[slots]) {}

ChunkReader::~ChunkReader() {
  Cancel();
  {
    MutexLock lock(mutex_);
    stop_ = true;
  }
  queued_.NotifyAll();
  if (thread_.joinable()) thread_.join();
}

void ChunkReader::Start(std::size_t slot, BoundedRead& read, std::uint8_t* buffer, std::size_t n) {
  assert(n > 0);
  {
    MutexLock lock(mutex_);
    Request& request = requests_[slot];
    request = Request{};
    request.read = &read;
    request.buffer = buffer;
    request.n = n;
    queue_.push_back(slot);
  }
  if (!thread_.joinable()) {
    try {
      thread_ = std::thread([this] { Work(); });
    } catch (...) {  // no thread to be had: nothing stays queued for it
      MutexLock lock(mutex_);
      queue_.clear();
      throw;
    }
  }
  queued_.NotifyOne();
}

std::int64_t ChunkReader::Collect(std::size_t slot) {
  MutexLock lock(mutex_);
  Request& request = requests_[slot];
  assert(request.read != nullptr);
  while (!request.done) done_.Wait(mutex_);
  request.read = nullptr;
  if (request.fault) std::rethrow_exception(std::exchange(request.fault, nullptr));
  return request.got;
}

void ChunkReader::Cancel() {
  MutexLock lock(mutex_);
  queue_.clear();
  while (reading_) done_.Wait(mutex_);
}

void ChunkReader::Read(Request& request) {
  std::int64_t total = 0;
  try {
    while (static_cast<std::size_t>(total) < request.n) {
      const std::int64_t got = request.read->Next(request.buffer + total, request.n - static_cast<std::size_t>(total));
      if (got < 0) total = -1;
      if (got <= 0) break;
      total += got;
    }
  } catch (...) {  // thrown on in the hasher's thread: it must not end the program here
    request.fault = std::current_exception();
  }
  request.got = total;
}

void ChunkReader::Work() {
  for (;;) {
    Request request;
    std::size_t slot;
    {
      MutexLock lock(mutex_);
      while (!stop_ && queue_.empty()) queued_.Wait(mutex_);
      if (stop_) return;
      slot = queue_.front();
      queue_.pop_front();
      request = requests_[slot];
      reading_ = true;
    }
    // The hasher touches neither the read nor the buffer until it collects.
    Read(request);
    {
      MutexLock lock(mutex_);
      Request& posted = requests_[slot];
      posted.got = request.got;
      posted.fault = std::move(request.fault);
      posted.done = true;
      reading_ = false;
    }
    done_.NotifyAll();
  }
}

}  // namespace quillora

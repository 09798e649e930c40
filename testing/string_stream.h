// A Stream over bytes in memory, for feeding readers without a file. It can
// hand out its bytes in small pieces and fail at a chosen offset, so tests
// and the fuzzer reach every place where a read may end.
#pragma once

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

#include "platform/stream.h"

namespace quillora::testing {

class StringStream final : public Stream {
 public:
  // Each Read() returns at most max_read bytes; a read that starts at or
  // beyond fail_at fails with EIO (never, by default).
  explicit StringStream(std::string bytes, std::size_t max_read = static_cast<std::size_t>(-1),
                        std::size_t fail_at = static_cast<std::size_t>(-1))
      : bytes_(std::move(bytes)), max_read_(std::max<std::size_t>(max_read, 1)), fail_at_(fail_at) {}

  std::int64_t Size() override { return static_cast<std::int64_t>(bytes_.size()); }
  std::int64_t Position() override { return static_cast<std::int64_t>(at_); }
  bool Seek(std::int64_t position) override {
    if (position < 0) return false;
    at_ = static_cast<std::size_t>(position);
    return true;
  }
  std::int64_t Read(void* buffer, std::size_t n) override {
    if (at_ >= fail_at_) {
      last_error_ = EIO;
      return -1;
    }
    if (at_ >= bytes_.size()) return 0;
    const std::size_t count = std::min({n, max_read_, bytes_.size() - at_, fail_at_ - at_});
    std::memcpy(buffer, bytes_.data() + at_, count);
    at_ += count;
    return static_cast<std::int64_t>(count);
  }
  int last_error() const override { return last_error_; }
  bool Unchanged() override { return true; }

 private:
  std::string bytes_;
  std::size_t max_read_;
  std::size_t fail_at_;
  std::size_t at_ = 0;
  int last_error_ = 0;
};

}  // namespace quillora::testing

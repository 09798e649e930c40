// A Stream over bytes in memory, for feeding readers without a file. It can
// hand out its bytes in small pieces and fail at a chosen offset, so tests
// and the fuzzer reach every place where a read may end.
#pragma once

#include <algorithm>
#include <cerrno>
#include <string>

#include "platform/stream.h"

namespace quillora::testing {

class StringStream final : public MemoryStream {
 public:
  // Each Read() returns at most max_read bytes; a read that starts at or
  // beyond fail_at fails with EIO (never, by default).
  explicit StringStream(std::string bytes, std::size_t max_read = static_cast<std::size_t>(-1),
                        std::size_t fail_at = static_cast<std::size_t>(-1))
      : MemoryStream(std::move(bytes)), max_read_(std::max<std::size_t>(max_read, 1)), fail_at_(fail_at) {}

  std::int64_t Read(void* buffer, std::size_t n) override {
    const auto at = static_cast<std::size_t>(Position());
    if (at >= fail_at_) {
      last_error_ = EIO;
      return -1;
    }
    return MemoryStream::Read(buffer, std::min({n, max_read_, fail_at_ - at}));
  }
  int last_error() const override { return last_error_; }

 private:
  std::size_t max_read_;
  std::size_t fail_at_;
  int last_error_ = 0;
};

}  // namespace quillora::testing

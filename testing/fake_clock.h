// An Env whose clock and time separator are fixed, so a check file's date
// comment can be compared byte for byte. Everything else is the real system.
#pragma once

#include <string>

#include "platform/env.h"

namespace quillora::testing {

class FakeClockEnv : public Env {
 public:
  explicit FakeClockEnv(LocalTime now = {2026, 12, 6, 8, 30, 3}, std::string separator = ":")
      : now_(now), separator_(std::move(separator)) {}
  LocalTime Now() override { return now_; }
  std::string TimeSeparator() override { return separator_; }

 private:
  LocalTime now_;
  std::string separator_;
};

}  // namespace quillora::testing

// An Env in which chosen files are held open by "another program": they pass
// the readability test, which shares, but the digest's unshared open fails,
// as it does on Windows. POSIX cannot produce that case by itself.
#pragma once

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

#include "testing/fake_clock.h"

namespace quillora::testing {

class HeldFilesEnv : public FakeClockEnv {
 public:
  std::unique_ptr<Stream> OpenForDigest(const std::string& path) override {
    if (std::find(held.begin(), held.end(), path) != held.end()) throw SystemError(EBUSY);
    return Env::OpenForDigest(path);
  }
  std::vector<std::string> held;  // full paths
};

}  // namespace quillora::testing

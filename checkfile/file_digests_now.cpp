#include "checkfile/file_digests_now.h"

#include <chrono>
#include <future>
#include <memory>

#include "digests/file_digest.h"
#include "platform/errors.h"

namespace quillora {
namespace {

// What DigestAhead finds of a file.
AheadOutcome DigestsOf(Env& env, const std::string& path, DigestSet digests) {
  std::unique_ptr<Stream> file;
  AheadOutcome outcome = OpenToDigest(env, FileToOpen{.path = path}, file);
  if (file) outcome.error = DigestsOfOpenFile(*file, digests, outcome.values);
  return outcome;
}

}  // namespace

AheadOutcome FileDigestsNow(Env& env, const std::string& path, DigestSet digests,
                            const std::function<void()>& idle) {
  std::future<AheadOutcome> read =
      std::async(std::launch::async, [&env, &path, digests] { return DigestsOf(env, path, digests); });
  while (read.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready) {
    if (idle) idle();
  }
  try {
    return read.get();
  } catch (...) {
    AheadOutcome outcome;
    outcome.fault = std::current_exception();
    return outcome;
  }
}

std::int64_t FileSizeNow(Env& env, const std::string& path, int& error) {
  try {
    error = 0;
    return env.OpenForDigest(path)->Size();
  } catch (const SystemError& e) {
    error = e.number();
    return -1;
  }
}

}  // namespace quillora

#include "checkfile/file_digests_now.h"

#include <chrono>
#include <future>
#include <memory>

#include "digests/file_digest.h"
#include "platform/errors.h"

namespace quillora {
namespace {

// What DigestAhead finds of a file: opened, or else what stands there.
AheadOutcome DigestsOf(Env& env, const std::string& path, DigestSet digests) {
  AheadOutcome outcome;
  int open_error = 0;
  try {
    std::unique_ptr<Stream> file = env.OpenForDigest(path);
    outcome.exists = outcome.readable = true;
    outcome.error = DigestsOfOpenFile(*file, digests, outcome.values);
    return outcome;
  } catch (const SystemError& e) {
    open_error = e.number();
  }
  outcome.error = ReadabilityError(env, path);
  outcome.readable = outcome.error == 0;
  if (outcome.readable) outcome.error = open_error;
  outcome.exists = outcome.readable || !IsNotFound(outcome.error) || FileMayExist(env, path);
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

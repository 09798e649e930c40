#include "md5/digest_ahead.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "md5/md5.h"
#include "platform/errors.h"
#include "testing/held_files_env.h"
#include "testing/temp_tree.h"

namespace quillora {
namespace {

using testing::TempTree;

int ThreadCount() {
  int count = 0;
  if (DIR* dir = ::opendir("/proc/self/task")) {
    while (const dirent* d = ::readdir(dir)) count += d->d_name[0] != '.';
    ::closedir(dir);
  }
  return count;
}

// A file whose reads fail with EIO from a given offset on.
class FailingStream final : public Stream {
 public:
  FailingStream(std::unique_ptr<Stream> file, std::int64_t fail_at) : file_(std::move(file)), fail_at_(fail_at) {}
  std::int64_t Size() override { return file_->Size(); }
  std::int64_t Position() override { return file_->Position(); }
  bool Seek(std::int64_t position) override { return file_->Seek(position); }
  std::int64_t Read(void* buffer, std::size_t n) override {
    const std::int64_t at = file_->Position();
    if (at >= fail_at_) return -1;
    return file_->Read(buffer, std::min<std::size_t>(n, static_cast<std::size_t>(fail_at_ - at)));
  }
  int last_error() const override { return EIO; }

 private:
  std::unique_ptr<Stream> file_;
  std::int64_t fail_at_;
};

// Holds chosen files, fails the reads of others part way, and can slow every
// digest down.
class SeamEnv : public testing::HeldFilesEnv {
 public:
  std::unique_ptr<Stream> OpenForDigest(const std::string& path) override {
    if (delay.count() > 0) std::this_thread::sleep_for(delay);
    std::unique_ptr<Stream> file = HeldFilesEnv::OpenForDigest(path);
    if (std::find(failing.begin(), failing.end(), path) == failing.end()) return file;
    return std::make_unique<FailingStream>(std::move(file), file->Size() / 2);
  }
  std::chrono::milliseconds delay{0};
  std::vector<std::string> failing;  // full paths
};

std::string Describe(const AheadOutcome& o) {
  std::string text = std::string(o.exists ? "exists " : "none ") + (o.readable ? "readable " : "unreadable ");
  if (o.error) {
    try {
      std::rethrow_exception(o.error);
    } catch (const std::exception& e) {
      text += std::string("error: ") + e.what();
    }
  }
  return text + o.digest;
}

TEST(DigestAhead, OutcomesComeInQueueOrderWhateverTheWorkers) {
  TempTree tree;
  SeamEnv env;
  std::vector<std::string> paths;
  for (int i = 0; i < 120; ++i) {
    // Tiny files, with a few large ones among them that finish last.
    const std::size_t size = i % 17 == 3 ? 3'000'000 : static_cast<std::size_t>(i);
    paths.push_back(tree.Write("f" + std::to_string(i), testing::RandomBytes(size, i)));
    if (i % 29 == 5) paths.push_back(tree.At("missing" + std::to_string(i)));
    if (i % 31 == 7) paths.push_back(paths.front());  // the same file again
  }
  env.held = {paths[10], paths[50]};
  env.failing = {paths[3], paths[20], paths[60]};  // 3 MB, 20 and 59 bytes
  paths.push_back(tree.Folder("folder"));

  std::vector<std::string> expected;
  for (const std::string& p : paths) {
    DigestAhead inline_only(env, 1);
    inline_only.Submit(p);
    expected.push_back(Describe(inline_only.TakeNext()));
  }
  EXPECT_EQ(expected[10].rfind("exists readable error: Cannot open file", 0), 0u) << expected[10];
  EXPECT_NE(expected[3].find("Input/output error"), std::string::npos) << expected[3];

  // Every engine, on every number of threads, with few and many queued.
  const LaneEngine active = ActiveLaneEngine();
  for (LaneEngine engine : {LaneEngine::kScalar, LaneEngine::kAvx2, LaneEngine::kAvx512}) {
    if (!ForceLaneEngine(engine)) continue;
    for (unsigned jobs : {1u, 2u, 4u}) {
      for (std::size_t max_ahead : {8u, 200u}) {
        DigestAhead ahead(env, jobs, max_ahead);
        std::vector<std::string> got;
        std::size_t next = 0;
        while (got.size() < paths.size()) {
          while (next < paths.size() && ahead.HasRoom()) ahead.Submit(paths[next++]);
          ahead.Start();
          got.push_back(Describe(ahead.TakeNext()));
        }
        EXPECT_EQ(got, expected) << LaneEngineName(engine) << ", " << jobs << " jobs, " << max_ahead << " ahead";
      }
    }
  }
  ForceLaneEngine(active);
}

TEST(DigestAhead, EndingEarlyLeavesNoThreadBehind) {
  TempTree tree;
  SeamEnv env;
  env.delay = std::chrono::milliseconds(5);
  const int before = ThreadCount();
  {
    DigestAhead ahead(env, 3, 50);
    for (int i = 0; i < 50; ++i) ahead.Submit(tree.Write("f" + std::to_string(i), "x"));
    ahead.Start();
    ahead.TakeNext();  // then give up, as a job ended by an error does
    EXPECT_EQ(ThreadCount(), before + 3);
  }
  // A joined thread's entry may linger in /proc for a moment after it ended.
  for (int i = 0; i < 200 && ThreadCount() != before; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(ThreadCount(), before);
}

TEST(DigestAhead, WaitingOnASlowFileKeepsCallingIdle) {
  TempTree tree;
  SeamEnv env;
  env.delay = std::chrono::milliseconds(300);
  DigestAhead ahead(env, 2);
  ahead.Submit(tree.Write("slow", "abc"));
  ahead.Start();
  int idles = 0;
  const AheadOutcome outcome = ahead.TakeNext([&] { ++idles; });
  EXPECT_EQ(LowerAscii(outcome.digest), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_GT(idles, 0);
}

TEST(DigestAhead, AFileChangedAfterItWasReadIsReportedAsRead) {
  TempTree tree;
  SeamEnv env;
  DigestAhead ahead(env, 2);
  const std::string path = tree.Write("f", "abc");
  const std::string gone = tree.Write("g", "abc");
  ahead.Submit(path);
  ahead.Submit(gone);
  ahead.Start();
  // Let the workers finish both, then change the files before taking them.
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  tree.Write("f", "something else");
  ::unlink(gone.c_str());
  const AheadOutcome first = ahead.TakeNext();
  const AheadOutcome second = ahead.TakeNext();
  for (const AheadOutcome* o : {&first, &second}) {
    // Either as it was when read, or (had the workers been slower) as it is
    // now, but never a mix of the two.
    const std::string d = LowerAscii(o->digest);
    const bool as_read = o->readable && d == "900150983cd24fb0d6963f7d28e17f72";
    const bool as_now = o == &first ? (o->readable && d == LowerAscii(FileDigestText(path)))
                                    : (!o->exists && !o->readable && d.empty());
    EXPECT_TRUE(as_read || as_now) << Describe(*o);
  }
}

}  // namespace
}  // namespace quillora

#include "digests/digest_ahead.h"

#include <dirent.h>
#ifdef _WIN32
#include <windows.h>
// windows.h first
#include <tlhelp32.h>
#endif
#ifndef _WIN32
#include <sys/resource.h>
#include <sys/wait.h>
#endif
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <new>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <exception>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "digests/file_digest.h"
#include "digests/lane_kernel.h"
#include "hashes/streaming_digest.h"
#include "platform/errors.h"
#include "testing/fault_env.h"
#include "testing/temp_tree.h"

namespace quillora {
namespace {

using testing::TempTree;

// What the readability test gives for a folder (Env::ReadabilityError).
#ifdef _WIN32
constexpr int kFolderError = 267;  // ERROR_DIRECTORY
#else
constexpr int kFolderError = EISDIR;
#endif

int ThreadCount() {
  int count = 0;
#ifdef _WIN32
  const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (bool more = ::Thread32First(snapshot, &entry); more; more = ::Thread32Next(snapshot, &entry))
    count += entry.th32OwnerProcessID == ::GetCurrentProcessId();
  ::CloseHandle(snapshot);
#else
  if (DIR* dir = ::opendir("/proc/self/task")) {
    while (const dirent* d = ::readdir(dir)) count += d->d_name[0] != '.';
    ::closedir(dir);
  }
#endif
  return count;
}

std::string Describe(const AheadOutcome& o) {
  std::string text = std::string(o.exists ? "exists " : "none ") + (o.readable ? "readable " : "unreadable ");
  if (o.error != 0) text += "error: " + SystemErrorMessage(o.error) + " ";
  return text + o.text();
}

// Runs body once for each kernel this CPU runs (forced by name, "scalar"
// among them), then forces again what was forced before (the test program's
// --engine).
template <class Body>
void ForEachKernel(Body body) {
  const std::string before(ForcedKernel());
  for (const std::string_view name : KernelNames()) {
    if (!ForceKernel(name)) continue;
    body(std::string(name));
  }
  if (before.empty()) {
    ClearForcedKernel();
  } else {
    ForceKernel(before);
  }
}

TEST(DigestAhead, OutcomesComeInQueueOrderWhateverTheWorkers) {
  TempTree tree;
  testing::FaultEnv env;
  std::vector<std::string> paths;
  for (int i = 0; i < 120; ++i) {
    // Tiny files, with a few large ones among them that finish last: with
    // two jobs or more, those from 8 MiB go to the long lanes.
    const std::size_t size = i % 17 == 3 ? (i % 2 ? 3'000'000 : 9'000'000) : static_cast<std::size_t>(i);
    paths.push_back(tree.Write("f" + std::to_string(i), testing::RandomBytes(size, i)));
    if (i % 29 == 5) paths.push_back(tree.At("missing" + std::to_string(i)));
    if (i % 31 == 7) paths.push_back(paths.front());  // the same file again
  }
  env.locked_by_others = {paths[10], paths[50]};
  // Reads failing part way: 3 MB, 20 and 59 bytes long.
  env.reads_fail_after = {{paths[3], 1'500'000}, {paths[20], 10}, {paths[60], 29}};
  paths.push_back(tree.Folder("folder"));

  std::vector<std::string> expected;
  for (const std::string& p : paths) {
    DigestAhead inline_only(env, 1);
    inline_only.Submit(p);
    expected.push_back(Describe(inline_only.TakeNext()));
  }
  EXPECT_EQ(expected[10], "exists readable error: " + SystemErrorMessage(testing::error::kBusy) + " ");
  EXPECT_EQ(expected.back(), "exists unreadable error: " + SystemErrorMessage(kFolderError) + " ")
      << "a folder is something that cannot be opened";
  EXPECT_EQ(expected[3], "exists readable error: " + SystemErrorMessage(testing::error::kIo) + " ") << "a read failing part way";

  // Every engine, on every number of threads, with few and many queued, and
  // with descriptors to spare or two in all: past those, the fault Env's
  // opens fail as the system's would, and a readable file would be lost.
  ForEachKernel([&](const std::string& engine) {
    for (unsigned jobs : {1u, 2u, 4u}) {
      for (auto [max_ahead, open_files] : {std::pair<std::size_t, std::size_t>{8, 0}, {200, 0}, {200, 2}}) {
        env.open_files_allowed = open_files != 0 ? std::optional<std::size_t>(open_files) : std::nullopt;
        DigestAhead ahead(env, jobs, max_ahead, open_files);
        std::vector<std::string> got;
        std::size_t next = 0;
        while (got.size() < paths.size()) {
          while (next < paths.size() && ahead.HasRoom()) ahead.Submit(paths[next++]);
          ahead.Start();
          got.push_back(Describe(ahead.TakeNext()));
        }
        EXPECT_EQ(got, expected) << engine << ", " << jobs << " jobs, " << max_ahead << " ahead, " << open_files
                                 << " open files";
      }
    }
  });
}

// Reads that wait as on a disk that is not cached wake the readers and ask
// files ahead; the outcomes stay those of a cached run, in queue order.
TEST(DigestAhead, ReadsWaitingOnTheDiskKeepTheOutcomes) {
  TempTree tree;
  testing::FaultEnv env;
  std::vector<std::string> paths;
  for (int i = 0; i < 150; ++i)
    paths.push_back(tree.Write("f" + std::to_string(i), testing::RandomBytes(i == 40 ? 9 << 20 : i * 97, i)));
  paths.insert(paths.begin() + 70, tree.At("missing"));
  env.reads_fail_after = {{paths[20], 100}};
  const auto outcomes = [&](unsigned jobs, std::size_t open_files = 0) {
    env.open_files_allowed = open_files != 0 ? std::optional<std::size_t>(open_files) : std::nullopt;
    DigestAhead ahead(env, jobs, 0, open_files);
    for (const std::string& p : paths) ahead.Submit(p);
    ahead.Start();
    std::vector<std::string> got;
    for (std::size_t i = 0; i < paths.size(); ++i) got.push_back(Describe(ahead.TakeNext()));
    return got;
  };
  const std::vector<std::string> expected = outcomes(1);
  env.read_delay = std::chrono::microseconds(300);
  ForEachKernel([&](const std::string& engine) {
    if (ActiveKernel(DigestId::kMd5) == nullptr) return;  // no MD5 lanes: nothing reads ahead
    env.read_ahead_requests = 0;
    EXPECT_EQ(outcomes(2), expected) << engine;
    EXPECT_GT(env.read_ahead_requests.load(), 0u) << engine;
    // Files kept open ahead stay within the budget, with the lanes' and the
    // long lanes' own: past it an open would fail, and a file be lost.
    EXPECT_EQ(outcomes(4, 12), expected) << engine << ", 4 jobs, 12 files open";
  });
}

// Each request comes back in its place with each digest asked for, whatever
// takes it: MD5's lanes, SHA-256's, or one reading for several digests; a
// large file of each through the long lanes.
TEST(DigestAhead, EveryDigestComesBackInQueueOrder) {
  TempTree tree;
  testing::FaultEnv env;
  std::vector<std::string> paths;
  for (int i = 0; i < 60; ++i) {
    const std::size_t size = i == 7 || i == 8 ? (9 << 20) + i : static_cast<std::size_t>(i * 301);
    paths.push_back(tree.Write("f" + std::to_string(i), testing::RandomBytes(size, i)));
  }
  const DigestSet requests[] = {{DigestId::kMd5}, {DigestId::kSha256}, {DigestId::kSha256, DigestId::kSha3_256},
                                {DigestId::kSha1}};
  ForEachKernel([&](const std::string& engine) {
    for (unsigned jobs : {1u, 3u}) {
      DigestAhead ahead(env, jobs);
      for (std::size_t i = 0; i < paths.size(); ++i) ahead.Submit(paths[i], requests[i % std::size(requests)]);
      ahead.Start();
      for (std::size_t i = 0; i < paths.size(); ++i) {
        const AheadOutcome outcome = ahead.TakeNext();
        const std::string bytes = testing::ReadFile(paths[i]);
        DigestValues expected;
        for (const DigestId id : requests[i % std::size(requests)]) expected.emplace_back(id, DigestOfBytes(id, bytes));
        EXPECT_EQ(outcome.values, expected) << engine << ", " << jobs << " jobs, file " << i;
        EXPECT_EQ(outcome.size, bytes.size()) << engine << ", " << jobs << " jobs, file " << i;
      }
    }
  });
}

// A file the job must know of now goes ahead of every file queued, through
// the same threads and budget, and a fault there comes back to be rethrown.
TEST(DigestAhead, AFileDigestedNowGoesAheadOfTheQueue) {
  TempTree tree;
  testing::FaultEnv env;
  env.digest_delay = std::chrono::milliseconds(2);
  std::vector<std::string> paths;
  for (int i = 0; i < 100; ++i) paths.push_back(tree.Write("f" + std::to_string(i), std::to_string(i)));
  const FileToOpen now{tree.Write("now", "abc")};
  const FileToOpen failing{tree.Write("failing", "abc")};
  env.out_of_memory_after[failing.path] = 0;
  ForEachKernel([&](const std::string& engine) {
    DigestAhead ahead(env, 2, 0, 4);
    for (const std::string& path : paths) ahead.Submit(path);
    ahead.Start();
    const AheadOutcome first = ahead.DigestNow({&now, {DigestId::kSha256, DigestId::kMd5}});
    EXPECT_EQ(first.text(), "900150983cd24fb0d6963f7d28e17f72") << engine;
    EXPECT_EQ(first.values.back().first, DigestId::kSha256) << engine;
    for (int i = 0; i < 100; ++i)
      EXPECT_EQ(ahead.TakeNext().text(), HexText(DigestOfBytes(DigestId::kMd5, std::to_string(i)))) << engine << " " << i;
    // A fault ends the job: what the thread held gets it too.
    EXPECT_TRUE(ahead.DigestNow({&failing, {DigestId::kMd5}}).fault) << engine;
  });
}

TEST(DigestAhead, EndingEarlyLeavesNoThreadBehind) {
  TempTree tree;
  testing::FaultEnv env;
  env.digest_delay = std::chrono::milliseconds(5);
  const int before = ThreadCount();
  {
    DigestAhead ahead(env, 3, 50);
    for (int i = 0; i < 50; ++i) ahead.Submit(tree.Write("f" + std::to_string(i), "x"));
    ahead.Start();
    ahead.TakeNext();  // then give up, as a job ended by an error does
    // With lanes: the workers, readers to make up kColdWorkers, and the long lanes' thread.
    const unsigned threads = ActiveKernel(DigestId::kMd5) != nullptr ? DigestAhead::kColdWorkers + 1 : 3;
    EXPECT_EQ(ThreadCount(), before + static_cast<int>(threads));
  }
  // A joined thread's entry may linger in the system's list for a moment after it ended.
  for (int i = 0; i < 200 && ThreadCount() != before; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(ThreadCount(), before);
}

TEST(DigestAhead, WaitingOnASlowFileKeepsCallingIdle) {
  TempTree tree;
  testing::FaultEnv env;
  env.digest_delay = std::chrono::milliseconds(300);
  DigestAhead ahead(env, 2);
  ahead.Submit(tree.Write("slow", "abc"));
  ahead.Start();
  int idles = 0;
  const AheadOutcome outcome = ahead.TakeNext([&] { ++idles; });
  EXPECT_EQ(outcome.text(), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_GT(idles, 0);
}

TEST(DigestAhead, AFileChangedAfterItWasReadIsReportedAsRead) {
  TempTree tree;
  ForEachKernel([&](const std::string& name) {
    const std::string changed = tree.Write(name + "-changed", "abc");
    const std::string gone = tree.Write(name + "-gone", "abc");
    // Both change as soon as the worker has read them, before it hands in
    // their outcomes, and so before they can be taken.
    testing::FaultEnv env;
    env.changed_after_read[changed] = "something else";
    env.changed_after_read[gone] = std::nullopt;
    DigestAhead ahead(env, 2);
    ahead.Submit(changed);
    ahead.Submit(gone);
    ahead.Start();
    EXPECT_EQ(Describe(ahead.TakeNext()), "exists readable 900150983cd24fb0d6963f7d28e17f72") << name;
    EXPECT_EQ(Describe(ahead.TakeNext()), "exists readable 900150983cd24fb0d6963f7d28e17f72")
        << name << ": gone since, but read before";
    EXPECT_EQ(testing::ReadFile(changed), "something else") << name;
    EXPECT_FALSE(Env::Default().FileExists(gone)) << name;
  });
}

// A file changed a moment before its open may be mid-write: it is read
// twice, and two readings that differ give no digest. One that stays the
// same keeps its digest.
TEST(DigestAhead, AFileChangedJustBeforeItsOpenIsReadTwice) {
  TempTree tree;
  ForEachKernel([&](const std::string& name) {
    const std::string rewritten = tree.Write(name + "-rewritten", "abc");
    const std::string still = tree.Write(name + "-still", "abc");
    testing::FaultEnv env;
    env.recently_changed = {rewritten, still};
    env.changed_after_read[rewritten] = "abd";  // the rest of a write under way at the open
    for (const DigestSet digests : {DigestSet{DigestId::kMd5}, DigestSet{DigestId::kSha256, DigestId::kSha1}}) {
      DigestAhead ahead(env, 2);
      ahead.Submit(rewritten, digests);
      ahead.Submit(still, digests);
      ahead.Start();
      const AheadOutcome cut = ahead.TakeNext();
      EXPECT_EQ(cut.error, kChangedWhileRead) << name << " " << Describe(cut);
      EXPECT_TRUE(cut.values.empty()) << name;
      EXPECT_EQ(ahead.TakeNext().values.front().second, DigestOfBytes(*digests.begin(), "abc")) << name;
      tree.Write(name + "-rewritten", "abc");
    }
  });
}

// Running out of memory while a file is opened or read (in turn, in a lane,
// on a large file's reading thread, handed over from thin lanes) ends the job with that fault on every
// engine, never the program; no file after the culprit ends it first.
TEST(DigestAhead, AFaultWhileOpeningOrReadingIsTheJobsNotTheProgramsEnd) {
  TempTree tree;
  std::vector<std::string> paths;
  for (std::size_t i = 0; i < 40; ++i) paths.push_back(tree.Write("f" + std::to_string(i), std::string(i * 1000, 'x')));
  paths[30] = tree.Write("large", std::string(20 << 20, 'x'));
  for (const auto& [culprit, after] : {std::pair<std::size_t, std::size_t>{25, 0}, {25, 10'000}, {30, 2 << 20}, {30, 15 << 20}}) {
    testing::FaultEnv env;
    env.out_of_memory_after[paths[culprit]] = after;
    ForEachKernel([&](const std::string& engine) {
      for (unsigned jobs : {1u, 3u}) {
        DigestAhead ahead(env, jobs);
        for (const std::string& path : paths) ahead.Submit(path);
        ahead.Start();
        std::size_t at = 0;
        AheadOutcome outcome;
        while (at < paths.size() && (outcome = ahead.TakeNext()).digested()) ++at;
        const std::string name = engine + ", " + std::to_string(jobs) + " jobs, file " + std::to_string(culprit) +
                                 " after " + std::to_string(after);
        ASSERT_TRUE(outcome.fault) << name << ": file " << at << " " << Describe(outcome);
        EXPECT_THROW(std::rethrow_exception(outcome.fault), std::bad_alloc) << name;
        EXPECT_LE(at, culprit) << name << ": file " << at;
      }
    });
  }
}

}  // namespace
}  // namespace quillora

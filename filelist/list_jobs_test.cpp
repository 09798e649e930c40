#include "filelist/list_jobs.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <map>
#include <vector>

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include "md5/md5.h"
#include "platform/errors.h"
#include "testing/fault_env.h"
#include "testing/posix_only.h"
#include "testing/temp_tree.h"

namespace quillora {
namespace {

using testing::TempTree;

constexpr const char* kDigestOfA = "0cc175b9c0f1b6a831c399e269772661";
constexpr const char* kDigestOfB = "92eb5ffee6ae2fec3ad71c777531578f";

// Records the rows as the window's list would hold them, and every event in
// order ("+path", "=digest", "pump").
class RecordingListSink : public ListSink {
 public:
  RowId AppendRow(const std::string& path) override {
    rows.push_back({path, std::nullopt});
    events.push_back("+" + path);
    return rows.size() - 1;
  }
  void SetDigest(RowId row, const std::string& text) override {
    rows.at(row).second = text;
    events.push_back("=" + text);
  }
  void SetCouldNotOpen(RowId row, int error) override {
    could_not_open.push_back(rows.at(row).first + ": " + SystemErrorMessage(error));
    ListSink::SetCouldNotOpen(row, error);
  }
  void Pump() override { events.push_back("pump"); }
  void LeftOut(std::string_view path, std::string_view reason) override {
    left_out.push_back(std::string(path) + ": " + std::string(reason));
  }

  std::vector<std::pair<std::string, std::optional<std::string>>> rows;
  std::vector<std::string> events;
  std::vector<std::string> left_out;  // "path: reason"
  std::vector<std::string> could_not_open;  // "path: reason"
};

// Lists folders in name order, so tests can state the walk's order.
struct OrderedEnv : testing::FaultEnv {
  OrderedEnv() { sorted_listings = true; }
};

// Every case runs without threads and with several: what the sink sees must
// not depend on how many digests are computed ahead.
class ListJobsTest : public ::testing::TestWithParam<unsigned> {
 protected:
  unsigned jobs() const { return GetParam(); }
  TempTree tree;
  OrderedEnv env;
  RecordingListSink sink;
};

INSTANTIATE_TEST_SUITE_P(Jobs, ListJobsTest, ::testing::Values(1u, 3u));

TEST_P(ListJobsTest, FolderScanIsDepthFirstAndSkipsOnlyTheExactCheckFileName) {
  tree.Write("a.txt", "a");
  tree.Write("CheckSum.md5", "x");
  tree.Write("checksum.md5", "b");
  tree.Write("s/b.txt", "b");
  tree.Write("s/CheckSum.md5", "x");
  tree.Write("s/" + ReplacingTempPrefix("CheckSum.md5") + "4f2a1c", "left by a make that was killed");
  tree.Write("s/t/a.txt", "a");
  tree.Folder("s/empty");
  tree.Write("z.txt", "a");

  AddFolderToList(env, tree.path(), sink, jobs());
  using Row = std::pair<std::string, std::optional<std::string>>;
  std::vector<Row> expected = {
      {tree.At("a.txt"), kDigestOfA},   {tree.At("checksum.md5"), kDigestOfB}, {tree.At("s/b.txt"), kDigestOfB},
      {tree.At("s/t/a.txt"), kDigestOfA}, {tree.At("z.txt"), kDigestOfA},
  };
#ifdef _WIN32
  expected.erase(expected.begin() + 1);  // names ignore case there: one file, the check file
#endif
  EXPECT_EQ(sink.rows, expected);
}

TEST_P(ListJobsTest, TrailingSeparatorGivesSingleSeparatorInRows) {
  tree.Write("a.txt", "a");
  AddFolderToList(env, tree.path() + kPathSeparator, sink, jobs());
  ASSERT_EQ(sink.rows.size(), 1u);
  EXPECT_EQ(sink.rows[0].first, tree.At("a.txt"));
}

TEST_P(ListJobsTest, ScanGivesADigestFailureItsRowAndGoesOn) {
  const std::string held = tree.Write("a.txt", "a");
  tree.Write("c.txt", "b");
  env.locked_by_others.push_back(held);
  AddFolderToList(env, tree.path(), sink, jobs());
  using Row = std::pair<std::string, std::optional<std::string>>;
  const std::vector<Row> expected = {{held, std::string(kCouldNotOpenFile)}, {tree.At("c.txt"), kDigestOfB}};
  EXPECT_EQ(sink.rows, expected);
}

// A fault of the system (a read that fails, a listing cut short, no
// descriptor) is no fact of a file: the job stops there, naming it, rather
// than leave files out in silence.
TEST_P(ListJobsTest, AFaultOfTheSystemEndsTheJobNamingIt) {
  const std::string a = tree.Write("a.txt", "a");
  const std::string bad = tree.Write("sub/bad.bin", testing::RandomBytes(100'000));
  for (int i = 0; i < 20; ++i) tree.Write("sub/f" + std::to_string(i), "a");
  const std::string sub = tree.At("sub");
  const struct {
    const char* what;
    std::function<void(testing::FaultEnv&)> fault;
    std::string path;
    int error;
    bool scan;  // a folder scan; else a pick of a and bad
  } cases[] = {
      {"a read failing part way", [&](auto& e) { e.reads_fail_after[bad] = 70'000; }, bad, testing::error::kIo, true},
      {"the same, picked", [&](auto& e) { e.reads_fail_after[bad] = 70'000; }, bad, testing::error::kIo, false},
      {"no descriptor for a file", [&](auto& e) { e.open_errors[bad] = testing::error::kNoDescriptor; }, bad, testing::error::kNoDescriptor, false},
      {"a listing cut short", [&](auto& e) { e.listings_fail_after[sub] = {5, testing::error::kIo}; }, sub, testing::error::kIo, true},
  };
  for (const auto& c : cases) {
    testing::FaultEnv faulty;
    faulty.sorted_listings = true;
    c.fault(faulty);
    RecordingListSink got;
    try {
      if (c.scan) {
        AddFolderToList(faulty, tree.path(), got, jobs());
      } else {
        AddPickedFiles(faulty, {a, bad}, got, jobs());
      }
      ADD_FAILURE() << c.what << ": the job went on";
    } catch (const SystemFault& e) {
      EXPECT_EQ(e.path(), c.path) << c.what;
      EXPECT_EQ(e.number(), c.error) << c.what;
    }
    ASSERT_FALSE(got.rows.empty()) << c.what;
    EXPECT_EQ(got.rows.front(), (std::pair<std::string, std::optional<std::string>>{a, kDigestOfA})) << c.what;
  }
}

TEST_P(ListJobsTest, ScanLeavesOutWhatCannotBeReadWhereAPickShowsIt) {
  SKIP_WITHOUT_POSIX("a FIFO, and modes that bind an unprivileged user");
  tree.Write("open.txt", "a");
  const std::string locked = tree.Write("locked.txt", "a");
  ::chmod(locked.c_str(), 0);
  ASSERT_EQ(::mkfifo(tree.At("fifo").c_str(), 0644), 0);
  const std::string closed = tree.Folder("closed");
  tree.Write("closed/inner.txt", "a");
  ::chmod(closed.c_str(), 0);

  // Counted in the child; only the verdict comes back. What is left out is
  // told with its reason.
  const unsigned jobs = this->jobs();
  const int rows = testing::RunUnprivileged([&] {
    RecordingListSink child;
    AddFolderToList(Env::Default(), tree.path(), child, jobs);
    std::sort(child.left_out.begin(), child.left_out.end());
    const std::vector<std::string> left_out = {tree.At("closed") + ": Permission denied",
                                               tree.At("fifo") + ": Not a regular file",
                                               tree.At("locked.txt") + ": Permission denied"};
    if (child.left_out != left_out) return 2;
    return child.rows.size() == 1 && child.rows[0].first == tree.At("open.txt") ? 0 : 1;
  });
  EXPECT_EQ(rows, 0);
  const int picked = testing::RunUnprivileged([&] {
    RecordingListSink child;
    AddPickedFiles(Env::Default(), {locked}, child, jobs);
    return child.rows.size() == 1 && child.rows[0].second == std::string(kCouldNotOpenFile) ? 0 : 1;
  });
  EXPECT_EQ(picked, 0);
}

TEST_P(ListJobsTest, LinksToFoldersAreNotEnteredButAFolderGivenAsALinkIs) {
  SKIP_WITHOUT_POSIX("symbolic links");
  tree.Write("d/a.txt", "a");
  for (const auto& [link, to] : std::map<std::string, std::string>{
           {"d/again", tree.At("d")}, {"d/up", ".."}, {"d/root", "/"}, {"d/file", "a.txt"}})
    ASSERT_EQ(::symlink(to.c_str(), tree.At(link).c_str()), 0);
  ASSERT_EQ(::symlink(tree.At("d").c_str(), tree.At("given").c_str()), 0);
  AddFolderToList(env, tree.At("given"), sink, jobs());
  using Row = std::pair<std::string, std::optional<std::string>>;
  EXPECT_EQ(sink.rows, (std::vector<Row>{{tree.At("given/a.txt"), kDigestOfA}, {tree.At("given/file"), kDigestOfA}}));
}

TEST_P(ListJobsTest, PickAppendsFirstThenPumpsAroundTheDigest) {
  const std::string a = tree.Write("a.txt", "a");
  AddPickedFiles(env, {a}, sink, jobs());
  const std::vector<std::string> expected = {"+" + a, "pump", std::string("=") + kDigestOfA, "pump"};
  EXPECT_EQ(sink.events, expected);

  sink.events.clear();
  AddPickedFiles(env, {tree.At("typed-but-missing")}, sink, jobs());
  EXPECT_EQ(sink.rows.back().second, std::string(kCouldNotOpenFile));
}

TEST_P(ListJobsTest, APickedFileWhoseDigestFailsIsCouldNotOpenAndThePickGoesOn) {
  const std::string a = tree.Write("a.txt", "a");
  const std::string cut = tree.Write("cut.bin", testing::RandomBytes(100'000));
  env.locked_by_others.push_back(a);
  env.shrinks_while_read[cut] = 10;  // rewritten while read
  AddPickedFiles(env, {a, cut, tree.At("missing")}, sink, jobs());
  const std::vector<std::string> expected = {"+" + a,   "pump", "=Could not open file", "pump",
                                             "+" + cut, "pump", "=Could not open file", "pump",
                                             "+" + tree.At("missing"), "=Could not open file"};
  EXPECT_EQ(sink.events, expected);
  // The row says no more; the event carries the reason for a front to name.
  EXPECT_EQ(sink.could_not_open, (std::vector<std::string>{a + ": " + SystemErrorMessage(testing::error::kBusy),
                                                           cut + ": changed while it was read",
                                                           tree.At("missing") + ": " + SystemErrorMessage(testing::error::kNotFound)}));
}

TEST_P(ListJobsTest, AFailureMidPickTouchesOnlyItsOwnRowWhateverWasDigestedAhead) {
  std::vector<std::string> paths;
  for (int i = 0; i < 40; ++i) paths.push_back(tree.Write("f" + std::to_string(i), "a"));
  env.locked_by_others.push_back(paths[7]);
  AddPickedFiles(env, paths, sink, jobs());
  ASSERT_EQ(sink.rows.size(), 40u);
  for (std::size_t i = 0; i < paths.size(); ++i)
    EXPECT_EQ(sink.rows[i].second, i == 7 ? std::string(kCouldNotOpenFile) : std::string(kDigestOfA)) << i;
}

TEST_P(ListJobsTest, DropsDigestFilesScanFoldersAndNameTheRest) {
  const std::string a = tree.Write("a.txt", "a");
  tree.Write("d/CheckSum.md5", "x");
  tree.Write("d/b.txt", "b");
  std::vector<std::string> dropped = {a, tree.At("d"), tree.At("missing")};
  using Row = std::pair<std::string, std::optional<std::string>>;
  std::vector<Row> expected = {
      {a, kDigestOfA},
      {tree.At("d/b.txt"), kDigestOfB},
      {tree.At("missing"), std::string(kCouldNotOpenFile)},
  };
#ifndef _WIN32  // no FIFOs there
  ASSERT_EQ(::mkfifo(tree.At("fifo").c_str(), 0644), 0);
  dropped.push_back(tree.At("fifo"));
  expected.emplace_back(tree.At("fifo"), std::string(kCouldNotOpenFile));
#endif
  AddDroppedPaths(env, dropped, sink, jobs());
  EXPECT_EQ(sink.rows, expected);
}

TEST_P(ListJobsTest, ManyDroppedFoldersNeverUseUpTheDescriptors) {
  // Each folder is scanned in turn while the files of those before are still
  // queued: the folders held open for them and the files share one budget.
  std::vector<std::string> dropped;
  for (int i = 0; i < 100; ++i) {
    dropped.push_back(tree.At("d" + std::to_string(i)));
    tree.Write("d" + std::to_string(i) + "/a", "a");
  }
  for (std::size_t allowed : {32u, 8u}) {
    env.open_files_allowed = allowed;
    RecordingListSink got;
    AddDroppedPaths(env, dropped, got, jobs());
    EXPECT_EQ(got.rows.size(), dropped.size()) << allowed << " files open";
    EXPECT_TRUE(std::all_of(got.rows.begin(), got.rows.end(), [](const auto& row) { return row.second == kDigestOfA; }))
        << allowed << " files open";
  }
}

TEST_P(ListJobsTest, NamesThatAreNotUtf8KeepTheirBytes) {
  SKIP_WITHOUT_POSIX("names that are not UTF-8 (Windows names are UTF-16)");
  const std::string odd = tree.Write("caf\xE9.txt", "a");
  AddFolderToList(env, tree.path(), sink, jobs());
  ASSERT_EQ(sink.rows.size(), 1u);
  EXPECT_EQ(sink.rows[0].first, odd);
  EXPECT_EQ(sink.rows[0].second, kDigestOfA);
}

}  // namespace
}  // namespace quillora

#include "platform/env.h"

#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <functional>
#include <tuple>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "platform/errors.h"
#include "testing/temp_tree.h"

namespace quillora {
namespace {

using namespace std::string_literals;
using testing::TempTree;

class EnvTest : public ::testing::Test {
 protected:
  Env& env = Env::Default();
  TempTree tree;
};

TEST_F(EnvTest, OnlyRegularFilesPassTheReadabilityTest) {
  const std::string file = tree.Write("a.txt", "abc");
  const std::string folder = tree.Folder("sub");
  const std::string fifo = tree.At("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  const std::string socket_path = tree.At("sock");
  const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", socket_path.c_str());
  ASSERT_EQ(::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  ASSERT_EQ(::symlink(file.c_str(), tree.At("link").c_str()), 0);

  EXPECT_EQ(ReadabilityError(env, file), 0);
  EXPECT_EQ(ReadabilityError(env, tree.At("link")), 0) << "a link to a file is the file";
  EXPECT_NE(ReadabilityError(env, folder), 0);
  EXPECT_NE(ReadabilityError(env, fifo), 0) << "must not block either";
  EXPECT_NE(ReadabilityError(env, socket_path), 0);
  EXPECT_NE(ReadabilityError(env, "/dev/null"), 0);
  EXPECT_NE(ReadabilityError(env, tree.At("missing")), 0);
  EXPECT_NE(ReadabilityError(env, file + "\0.txt"s), 0) << "a NUL must not cut the path short";
  ::close(s);
}

TEST_F(EnvTest, ReadabilityTestAsAnUnprivilegedUser) {
  const std::string locked = tree.Write("locked", "x");
  const std::string open = tree.Write("open", "x");
  ::chmod(locked.c_str(), 0);
  Env& real = env;
  EXPECT_EQ(testing::RunUnprivileged([&] { return ReadabilityError(real, locked) == 0 ? 1 : 0; }), 0);
  EXPECT_EQ(testing::RunUnprivileged([&] { return ReadabilityError(real, open) == 0 ? 0 : 1; }), 0);
}

TEST_F(EnvTest, ExistenceTests) {
  const std::string file = tree.Write("a", "");
  const std::string folder = tree.Folder("d");
  ASSERT_EQ(::symlink("nowhere", tree.At("dangling").c_str()), 0);
  EXPECT_TRUE(env.FileExists(file));
  EXPECT_FALSE(env.FileExists(folder));
  EXPECT_TRUE(env.FileExists(tree.At("dangling"))) << "the entry exists even if its target does not";
  EXPECT_FALSE(env.FileExists(tree.At("none")));
  EXPECT_FALSE(env.FileExists(file + "\0"s));
  EXPECT_FALSE(env.FileExists(file + "/x")) << "a file on the way: nothing there";
  EXPECT_TRUE(env.FolderExists(folder));
  EXPECT_TRUE(env.FolderExists(folder + "/"));
  EXPECT_FALSE(env.FolderExists(file));
  EXPECT_FALSE(env.FolderExists(folder + "\0x"s));
  // What cannot be looked at is never "no": the lookup says why.
  ASSERT_EQ(::symlink("loop", tree.At("loop").c_str()), 0);
  const auto error_of = [](const std::function<void()>& look) {
    try {
      look();
    } catch (const SystemError& e) {
      return e.number();
    }
    return 0;
  };
  for (const std::string& unseen : {tree.At("loop/x"), tree.At(std::string(300, 'n'))}) {
    const int expected = unseen.size() > 300 ? ENAMETOOLONG : ELOOP;
    EXPECT_EQ(error_of([&] { env.FileExists(unseen); }), expected) << unseen;
    EXPECT_EQ(error_of([&] { env.FolderExists(unseen); }), expected) << unseen;
    EXPECT_EQ(ReadabilityError(env, unseen), expected) << unseen;
  }
  const std::string closed = tree.Write("closed/x", "");
  ::chmod(tree.At("closed").c_str(), 0700);
  EXPECT_EQ(testing::RunUnprivileged([&] {
              Env& real = Env::Default();
              if (!real.FileExists(file)) return 2;  // the child must reach the tree
              try {
                real.FileExists(closed);
                return 1;
              } catch (const SystemError& e) {
                return e.number() == EACCES && ReadabilityError(real, closed) == EACCES ? 0 : 1;
              }
            }),
            0);
}

TEST_F(EnvTest, ListingGivesNamesAsBytesWithTheirKind) {
  tree.Write("plain", "");
  tree.Write("caf\xE9", "");  // not valid UTF-8
  tree.Folder("sub");
  ASSERT_EQ(::symlink(tree.At("sub").c_str(), tree.At("tosub").c_str()), 0);
  ASSERT_EQ(::symlink("plain", tree.At("tofile").c_str()), 0);
  ASSERT_EQ(::mkfifo(tree.At("fifo").c_str(), 0644), 0);

  auto listing = env.ListFolder(tree.path());
  ASSERT_NE(listing, nullptr);
  std::vector<std::tuple<std::string, EntryKind, bool>> seen;
  std::vector<std::string> said_regular;  // opened without a look first: never a FIFO, a link or a folder
  FolderEntry entry;
  while (listing->Next(entry)) {
    seen.emplace_back(entry.name, entry.kind, entry.is_link);
    if (entry.regular) said_regular.push_back(entry.name);
  }
  std::sort(seen.begin(), seen.end());
  std::sort(said_regular.begin(), said_regular.end());
  for (const std::string& name : said_regular) EXPECT_TRUE(name == "plain" || name == "caf\xE9") << name;
  const std::vector<std::tuple<std::string, EntryKind, bool>> expected = {
      {"caf\xE9", EntryKind::kFile, false},  {"fifo", EntryKind::kFile, false},    {"plain", EntryKind::kFile, false},
      {"sub", EntryKind::kFolder, false},    {"tofile", EntryKind::kFile, true},  {"tosub", EntryKind::kFolder, true},
  };
  EXPECT_EQ(seen, expected);

  for (const auto& [name, error] : std::vector<std::pair<std::string, int>>{{"plain", ENOTDIR}, {"none", ENOENT}}) {
    try {
      env.ListFolder(tree.At(name));
      ADD_FAILURE() << name;
    } catch (const SystemError& e) {
      EXPECT_EQ(e.number(), error) << name;
      EXPECT_EQ(e.what(), "open: " + SystemErrorMessage(error)) << "names the call, not just \"system error\"";
    }
  }
  auto via_link = env.ListFolder(tree.At("tosub"));
  auto direct = env.ListFolder(tree.At("sub"));
  ASSERT_TRUE(via_link && direct);
  EXPECT_EQ(via_link->id(), direct->id()) << "a link to a folder has the folder's identity";
}

TEST_F(EnvTest, ReplacingFileKeepsTheOldFileUntilCommit) {
  const std::string target = tree.Write("out.txt", "old");
  {
    auto file = env.CreateReplacing(target);
    file->Append("new content");
    EXPECT_EQ(testing::ReadFile(target), "old");
    EXPECT_EQ(file->temp_path(), "") << "no name until it is complete: a kill leaves nothing";
    EXPECT_EQ(testing::ListedNames(tree.path()).size(), 1u);
  }
  EXPECT_EQ(testing::ReadFile(target), "old") << "no commit, no change";
  auto listing = env.ListFolder(tree.path());
  FolderEntry entry;
  int count = 0;
  while (listing->Next(entry)) ++count;
  EXPECT_EQ(count, 1) << "the temporary file is gone";

  auto file = env.CreateReplacing(target);
  file->Append("new");
  file->Commit();
  EXPECT_EQ(testing::ReadFile(target), "new");
  file.reset();
  EXPECT_EQ(testing::ReadFile(target), "new");
}

TEST_F(EnvTest, ReplacingRefusesReadOnlyTargetsAndUnwritableFolders) {
  const std::string readonly = tree.Write("ro.txt", "keep");
  ::chmod(readonly.c_str(), 0444);
  try {
    env.CreateReplacing(readonly);
    FAIL();
  } catch (const IoError& e) {
    EXPECT_EQ(e.code(), IoError::kAccessDenied);
  }
  EXPECT_THROW(env.CreateReplacing(tree.Folder("dir")), IoError);
  try {
    env.CreateReplacing(tree.At("no/such/folder.txt"));
    FAIL();
  } catch (const IoError& e) {
    EXPECT_EQ(e.code(), IoError::kFileNotFound);
  }
  const std::string closed = tree.Folder("closed");
  ::chmod(closed.c_str(), 0555);
  EXPECT_EQ(testing::RunUnprivileged([&] {
              try {
                Env::Default().CreateReplacing(closed + "/x.txt");
                return 1;
              } catch (const IoError& e) {
                return e.code() == IoError::kAccessDenied ? 0 : 2;
              }
            }),
            0);
}

TEST_F(EnvTest, ReplacingKeepsModeOwnerAndGroupAndLeavesLinksLinks) {
  const std::string target = tree.Write("m.txt", "x");
  ::chmod(target.c_str(), 0640);
  ASSERT_EQ(::chown(target.c_str(), 65534, 65534), 0);
  tree.Write("out1.txt", "old");
  struct Case {
    std::string path;      // what is replaced
    std::string written;   // where the bytes must land
    std::string link;      // a link that must stay one, or ""
  };
  ASSERT_EQ(::symlink("out1.txt", tree.At("link.txt").c_str()), 0);
  ASSERT_EQ(::symlink(tree.At("link.txt").c_str(), tree.At("chain.txt").c_str()), 0);
  ASSERT_EQ(::symlink("new.txt", tree.At("dangling.txt").c_str()), 0);
  const std::vector<Case> cases = {{target, target, ""},
                                   {tree.At("link.txt"), tree.At("out1.txt"), tree.At("link.txt")},
                                   {tree.At("chain.txt"), tree.At("out1.txt"), tree.At("chain.txt")},
                                   {tree.At("dangling.txt"), tree.At("new.txt"), tree.At("dangling.txt")}};
  for (const Case& c : cases) {
    auto file = env.CreateReplacing(c.path);
    file->Append(c.path);
    file->Commit();
    EXPECT_EQ(file->temp_path().rfind(tree.path() + "/" + ReplacingTempPrefix(c.written.substr(tree.path().size() + 1)), 0), 0u)
        << file->temp_path() << ": named beside what it replaced";
    EXPECT_EQ(testing::ReadFile(c.written), c.path);
    struct stat st;
    if (!c.link.empty()) {
      EXPECT_TRUE(::lstat(c.link.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) << c.link;
    }
  }
  struct stat st;
  ASSERT_EQ(::stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  if (::geteuid() == 0) {
    EXPECT_TRUE(st.st_uid == 65534 && st.st_gid == 65534) << st.st_uid << ":" << st.st_gid;
  }
}

TEST_F(EnvTest, DigestOpenNeverBlocksAndRefusesNonFiles) {
  ASSERT_EQ(::mkfifo(tree.At("fifo").c_str(), 0644), 0);
  // Nothing but a regular file is opened to find out: an open can act on a
  // device. inotify sees every open in the folder.
  const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  ASSERT_GE(watch, 0);
  ASSERT_GE(::inotify_add_watch(watch, tree.path().c_str(), IN_OPEN), 0);
  try {
    env.OpenForDigest(tree.At("fifo"));
    FAIL();
  } catch (const SystemError& e) {
    EXPECT_EQ(SystemErrorMessage(e.number()), "Not a regular file");
  }
  alignas(inotify_event) char events[4096];
  EXPECT_EQ(::read(watch, events, sizeof events), -1) << "the FIFO was opened";
  ::close(watch);
  try {
    env.OpenForDigest(tree.path());
    FAIL();
  } catch (const SystemError& e) {
    EXPECT_EQ(e.number(), EISDIR);
  }
}

// A file opened by its name in a folder held open meets the same rules as one
// opened by its path: only a regular file, never a block, the system's reason.
TEST_F(EnvTest, OpeningByNameInAHeldFolder) {
  tree.Write("sub/a.txt", "abc");
  tree.Folder("sub/folder");
  ASSERT_EQ(::mkfifo(tree.At("sub/fifo").c_str(), 0644), 0);
  ASSERT_EQ(::symlink("a.txt", tree.At("sub/link").c_str()), 0);
  const std::string sub = tree.At("sub");
  const auto folder = env.HoldFolder(sub);
  ASSERT_NE(folder, nullptr);
  EXPECT_THROW(env.HoldFolder(tree.At("missing")), SystemError);
  const std::pair<std::string, int> cases[] = {
      {"a.txt", 0}, {"link", 0}, {"folder", EISDIR}, {"fifo", kNotRegularFile}, {"missing", ENOENT},
      {"a.txt\0x"s, ENOENT},  // a NUL must not cut the name short
  };
  for (const auto& [name, error] : cases) {
    try {
      const auto file = env.OpenListedForDigest({sub + "/" + name, true, folder, sub.size() + 1});
      EXPECT_EQ(error, 0) << name;
      char bytes[8];
      EXPECT_EQ(file->Size(), 3);
      EXPECT_EQ(file->Read(bytes, sizeof bytes), 3) << name;
    } catch (const SystemError& e) {
      EXPECT_EQ(e.number(), error) << name;
    }
  }
}

// A digest's file tells whether it is still the version that was opened: the
// same size and modification time, whatever happened to its bytes.
TEST_F(EnvTest, ADigestsFileKnowsWhetherItChangedSinceItWasOpened) {
  const std::string path = tree.Write("f", "abc");
  const struct timespec yesterday[2] = {{0, UTIME_OMIT}, {::time(nullptr) - 86400, 0}};
  for (const std::string_view change : {"", "grown", "same size, older time"}) {
    tree.Write("f", "abc");
    auto file = env.OpenForDigest(path);
    if (!change.empty()) tree.Write("f", change == "grown" ? "abcd" : "xyz");
    if (change == "same size, older time") {
      ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), yesterday, 0), 0);
    }
    EXPECT_EQ(file->ChangeSinceOpen(), change.empty() ? 0 : kChangedWhileRead) << change;
  }
}

TEST_F(EnvTest, TextReadingReportsTableCodes) {
  try {
    env.OpenTextForReading(tree.At("none"));
    FAIL();
  } catch (const IoError& e) {
    EXPECT_EQ(e.code(), IoError::kFileNotFound);
  }
  auto stream = env.OpenTextForReading(tree.Write("t", "hello"));
  char buffer[16];
  EXPECT_EQ(stream->Read(buffer, sizeof buffer), 5);
  EXPECT_EQ(stream->Read(buffer, sizeof buffer), 0);
}

TEST(Paths, AbsolutePathAndExecutableFolder) {
  TempTree tree;
  ASSERT_EQ(::chdir(tree.path().c_str()), 0);
  EXPECT_EQ(AbsolutePath("x/y.txt"), tree.path() + "/x/y.txt");
  EXPECT_EQ(AbsolutePath("/abs"), "/abs");
  ASSERT_EQ(::chdir("/"), 0);
  EXPECT_EQ(AbsolutePath("a"), "/a");
  const std::string folder = ExecutableFolder();
  EXPECT_TRUE(Env::Default().FolderExists(folder)) << folder;
  EXPECT_NE(folder.back(), '/');
}

}  // namespace
}  // namespace quillora

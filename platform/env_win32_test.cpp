// The Win32 layer, run under Wine by scripts/test-windows.
#include <windows.h>

#include <algorithm>
#include <vector>

#include <gtest/gtest.h>

#include "platform/env.h"
#include "platform/errors.h"
#include "testing/temp_tree.h"

namespace quillora {
namespace {

using namespace std::string_literals;
using testing::TempTree;

TEST(Win32Env, ReadabilityAndExistence) {
  TempTree tree;
  Env& env = Env::Default();
  const std::string file = tree.Write("a.txt", "a");
  const std::string folder = tree.Folder("sub");
  EXPECT_EQ(env.ReadabilityError(file), 0);
  EXPECT_NE(env.ReadabilityError(folder), 0);
  EXPECT_NE(env.ReadabilityError(tree.At("none")), 0);
  EXPECT_NE(env.ReadabilityError(file + "\0x"s), 0);
  EXPECT_TRUE(env.FileExists(file));
  EXPECT_FALSE(env.FileExists(folder));
  EXPECT_FALSE(env.FileExists(tree.At("*.txt"))) << "a pattern is not a name";
  EXPECT_TRUE(env.FolderExists(folder));
  EXPECT_TRUE(env.FolderExists(folder + "\\"));
  EXPECT_FALSE(env.FolderExists(file));
}

TEST(Win32Env, DigestNeedsTheFileUnshared) {
  TempTree tree;
  const std::string file = tree.Write("held.txt", "abc");
  Env& env = Env::Default();
  {
    auto stream = env.OpenForDigest(file);
    char bytes[4] = {};
    EXPECT_EQ(stream->Read(bytes, sizeof bytes), 3);
    EXPECT_EQ(std::string(bytes, 3), "abc");
  }
  // Another program holds it open for writing while letting others read.
  const HANDLE other = ::CreateFileA(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(other, INVALID_HANDLE_VALUE);
  EXPECT_EQ(env.ReadabilityError(file), 0) << "the readability test shares";
  try {
    env.OpenForDigest(file);
    ADD_FAILURE() << "the digest's unshared open succeeded";
  } catch (const SystemError& e) {
    EXPECT_EQ(e.number(), static_cast<int>(ERROR_SHARING_VIOLATION));
  }
  ::CloseHandle(other);
}

TEST(Win32Env, ListingAndReplacing) {
  TempTree tree;
  tree.Write("b.txt", "");
  tree.Folder("d");
  auto listing = Env::Default().ListFolder(tree.path() + "\\");
  ASSERT_NE(listing, nullptr);
  std::vector<std::pair<std::string, EntryKind>> seen;
  FolderEntry entry;
  while (listing->Next(entry)) seen.emplace_back(entry.name, entry.kind);
  std::sort(seen.begin(), seen.end());
  const std::vector<std::pair<std::string, EntryKind>> expected = {{"b.txt", EntryKind::kFile},
                                                                    {"d", EntryKind::kFolder}};
  EXPECT_EQ(seen, expected);
  listing.reset();

  const std::string target = tree.Write("out.txt", "old");
  {
    auto file = Env::Default().CreateReplacing(target);
    file->Append("new");
  }
  EXPECT_EQ(testing::ReadFile(target), "old");
  auto file = Env::Default().CreateReplacing(target);
  file->Append("new");
  file->Commit();
  EXPECT_EQ(testing::ReadFile(target), "new");

  ::SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_READONLY);
  try {
    Env::Default().CreateReplacing(target);
    ADD_FAILURE() << "a read-only file was replaced";
  } catch (const IoError& e) {
    EXPECT_STREQ(e.what(), "File access denied");
  }
  ::SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(Win32Env, ErrorCodesFollowTheTable) {
  EXPECT_STREQ(IoError::FromSystem(ERROR_FILE_NOT_FOUND).what(), "File not found");
  EXPECT_STREQ(IoError::FromSystem(ERROR_ACCESS_DENIED).what(), "File access denied");
  EXPECT_STREQ(IoError::FromSystem(ERROR_SHARING_VIOLATION).what(), "I/O error 32");
  EXPECT_STREQ(IoError::FromSystem(ERROR_DISK_FULL).what(), "Disk full");
  EXPECT_TRUE(Env::Default().FolderExists(ExecutableFolder()));
}

}  // namespace
}  // namespace quillora

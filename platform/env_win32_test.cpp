// The Win32 layer, run under Wine by scripts/test-windows.
#include <windows.h>

#include <sddl.h>

#include <algorithm>
#include <vector>

#include <gtest/gtest.h>

#include "platform/env.h"
#include "platform/errors.h"
#include "platform/wide_text.h"
#include "platform/win32_listing.h"
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
  EXPECT_EQ(ReadabilityError(env, file), 0);
  EXPECT_NE(ReadabilityError(env, folder), 0);
  EXPECT_NE(ReadabilityError(env, tree.At("none")), 0);
  EXPECT_NE(ReadabilityError(env, file + "\0x"s), 0);
  EXPECT_TRUE(env.FileExists(file));
  EXPECT_FALSE(env.FileExists(folder));
  EXPECT_FALSE(env.FileExists(tree.At("*.txt"))) << "a pattern is not a name";
  EXPECT_TRUE(env.FolderExists(folder));
  EXPECT_TRUE(env.FolderExists(folder + "\\"));
  EXPECT_FALSE(env.FolderExists(file));
}

// FindNextFileW reads the next entry, then fails as a network share that went
// away does, after the first two.
int entries_before_failure = 0;
BOOL WINAPI FailingFindNext(HANDLE find, WIN32_FIND_DATAW* data) {
  if (entries_before_failure-- > 0) return ::FindNextFileW(find, data);
  ::SetLastError(ERROR_NETNAME_DELETED);
  return FALSE;
}

// A listing ends only where the system says there are no more entries; any
// other stop is the folder's failure, after the entries read before it.
TEST(Win32Env, AListingCutShortFailsAfterItsEntries) {
  EXPECT_EQ(ListingStopError(ERROR_NO_MORE_FILES), 0);
  EXPECT_EQ(ListingStopError(ERROR_NETNAME_DELETED), ERROR_NETNAME_DELETED);
  TempTree tree;
  for (const char* name : {"a", "b", "c", "d", "e"}) tree.Write(name, name);
  WIN32_FIND_DATAW first;
  const HANDLE find = ::FindFirstFileW(WidePath(tree.At("*")).c_str(), &first);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  entries_before_failure = 4;  // ".", "..", "a" and "b" after the first, "."
  FindListing listing(find, first, FolderId{}, FailingFindNext);
  std::vector<std::string> names;
  FolderEntry entry;
  try {
    while (listing.Next(entry)) names.push_back(entry.name);
    ADD_FAILURE() << "the listing ended as if whole";
  } catch (const SystemError& e) {
    EXPECT_EQ(e.number(), ERROR_NETNAME_DELETED);
  }
  EXPECT_GE(names.size(), 3u) << "the entries before the failure come first";
  EXPECT_LT(names.size(), 5u);
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
  EXPECT_EQ(ReadabilityError(env, file), 0) << "the readability test shares";
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

using testing::ListedNames;

// Names no ANSI code page holds, and paths past MAX_PATH, reach every call.
TEST(Win32Env, EveryNameAndLongPathsOpen) {
  TempTree tree;
  Env& env = Env::Default();
  const std::string greek = "\xCE\xB1\xCE\xB2\xCE\xB3";                // Greek alpha beta gamma
  const std::string han = "\xE6\x97\xA5\xE6\x9C\xAC";                  // two CJK ideographs
  const std::string emoji = "\xF0\x9F\x98\x80";                    // outside the BMP: a surrogate pair
  const std::string long_folder = tree.Folder(std::string(120, 'a') + "\\" + std::string(120, 'b'));
  struct Case {
    std::string folder, name;
  } cases[] = {
      {tree.path(), greek + "-" + han + "-" + emoji + ".txt"},
      {long_folder, std::string(300 - long_folder.size() - 1, 'c')},  // a path of 300 characters
      {long_folder, han + std::string(40, 'd')},
  };
  for (const Case& c : cases) {
    const std::string path = c.folder + "\\" + c.name;
    SCOPED_TRACE(path);
    tree.Write(path.substr(tree.path().size() + 1), "abc");
    EXPECT_EQ(ReadabilityError(env, path), 0);
    EXPECT_TRUE(env.FileExists(path));
    EXPECT_TRUE(env.FolderExists(c.folder));
    auto stream = env.OpenForDigest(path);
    char bytes[4] = {};
    EXPECT_EQ(stream->Read(bytes, sizeof bytes), 3);
    stream.reset();
    const std::vector<std::string> names = ListedNames(c.folder);
    EXPECT_NE(std::find(names.begin(), names.end(), c.name), names.end()) << "the listing gives the name in UTF-8";
    auto file = env.CreateReplacing(path);
    file->Append("new");
    file->Commit();
    EXPECT_EQ(testing::ReadFile(path), "new");
    EXPECT_EQ(AbsolutePath(path), path);
  }
  EXPECT_EQ(ListedNames(long_folder).size(), 2u);
}

// A replaced check file keeps what the user set on the old one: its
// attributes and its security (here a DACL that grants only reading to
// everyone else).
TEST(Win32Env, ReplacingKeepsAttributesAndSecurity) {
  TempTree tree;
  const std::string target = tree.Write("CheckSum.md5", "old");
  const std::wstring wide = WidePath(target);
  ASSERT_TRUE(::SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED));
  const DWORD attributes = ::GetFileAttributesW(wide.c_str());
  // Owner all, Everyone read, and no inherited entries.
  PSECURITY_DESCRIPTOR set = nullptr;
  ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;;FA;;;BA)(A;;FA;;;SY)(A;;FR;;;WD)", SDDL_REVISION_1,
                                                                      &set, nullptr));
  ASSERT_TRUE(::SetFileSecurityW(wide.c_str(), DACL_SECURITY_INFORMATION, set));
  ::LocalFree(set);
  const auto dacl = [&] {
    DWORD size = 0;
    ::GetFileSecurityW(wide.c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &size);
    std::vector<char> descriptor(size);
    if (!::GetFileSecurityW(wide.c_str(), DACL_SECURITY_INFORMATION, descriptor.data(), size, &size)) return std::wstring();
    wchar_t* text = nullptr;
    if (!::ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor.data(), SDDL_REVISION_1,
                                                                DACL_SECURITY_INFORMATION, &text, nullptr))
      return std::wstring();
    std::wstring result(text);
    ::LocalFree(text);
    return result;
  };
  const std::wstring before = dacl();
  if (before.find(L"(A;;FR;;;WD)") == std::wstring::npos || !(attributes & FILE_ATTRIBUTE_NOT_CONTENT_INDEXED))
    GTEST_SKIP() << "this system keeps no security or attributes of its own (Wine derives them from POSIX modes)";

  auto file = Env::Default().CreateReplacing(target);
  file->Append("new");
  file->Commit();
  EXPECT_EQ(testing::ReadFile(target), "new");
  EXPECT_EQ(::GetFileAttributesW(wide.c_str()), attributes);
  EXPECT_EQ(dacl(), before);
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

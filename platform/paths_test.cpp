#include "platform/paths.h"

#include <gtest/gtest.h>

namespace quillora {
namespace {

// Each row: a path under one family's rules, what splitting it gives, what
// joining the name "n" below it (taken as a folder) gives, and the folder
// without its trailing separator.
// A record's "/" is shown as "\\" on Windows, and a POSIX path keeps every
// byte.
TEST(Paths, SeparatorsBecomeTheNativeOne) {
  const struct {
    PathRules rules;
    std::string path, native;
    std::size_t from;
  } cases[] = {
      {kWin32Paths, "C:\\Data\\sub \xcf\x89/deep.txt", "C:\\Data\\sub \xcf\x89\\deep.txt", 0},
      {kWin32Paths, "C:/x/y", "C:/x\\y", 3},
      {kPosixPaths, "a\\b/c", "a\\b/c", 0},
  };
  for (const auto& c : cases) {
    std::string path = c.path;
    ToNativeSeparators(path, c.from, c.rules);
    EXPECT_EQ(path, c.native) << c.path;
  }
}

TEST(Paths, SplitAndJoinUnderBothRules) {
  struct Row {
    PathRules rules;
    const char* path;
    const char* folder;
    const char* name;
    const char* extension;
    const char* joined;
    const char* trimmed;
  };
  const PathRules posix = kPosixPaths, win = kWin32Paths;
  const Row rows[] = {
      {posix, "a/b.txt", "a", "b.txt", ".txt", "a/b.txt/n", "a/b.txt"},
      {posix, "/a", "/", "a", "", "/a/n", "/a"},
      {posix, "/", "/", "", "", "/n", "/"},
      {posix, "b.md5", ".", "b.md5", ".md5", "b.md5/n", "b.md5"},
      {posix, "", ".", "", "", "n", ""},
      {posix, "a/b/", "a/b", "", "", "a/b/n", "a/b"},
      {posix, "a//b", "a/", "b", "", "a//b/n", "a//b"},
      {posix, "a//", "a/", "", "", "a//n", "a/"},
      {posix, "x.d/name", "x.d", "name", "", "x.d/name/n", "x.d/name"},
      {posix, "a/.hidden", "a", ".hidden", ".hidden", "a/.hidden/n", "a/.hidden"},
      {posix, "C:x", ".", "C:x", "", "C:x/n", "C:x"},     // ":" is a plain byte here
      {posix, "a\\b", ".", "a\\b", "", "a\\b/n", "a\\b"},  // and so is "\"
      {win, "C:\\x\\y.md5", "C:\\x", "y.md5", ".md5", "C:\\x\\y.md5\\n", "C:\\x\\y.md5"},
      {win, "C:\\y", "C:\\", "y", "", "C:\\y\\n", "C:\\y"},
      {win, "C:\\", "C:\\", "", "", "C:\\n", "C:\\"},
      {win, "C:\\x\\", "C:\\x", "", "", "C:\\x\\n", "C:\\x"},
      {win, "\\", "\\", "", "", "\\n", "\\"},
      {win, "C:y", "C:", "y", "", "C:y\\n", "C:y"},
      {win, "C:", "C:", "", "", "C:n", "C:"},
      {win, "y", ".", "y", "", "y\\n", "y"},
      {win, "\\y", "\\", "y", "", "\\y\\n", "\\y"},
      {win, "\\\\host\\share\\f.txt", "\\\\host\\share", "f.txt", ".txt", "\\\\host\\share\\f.txt\\n",
       "\\\\host\\share\\f.txt"},
      {win, "a/b", "a", "b", "", "a/b\\n", "a/b"},  // "/" separates too, as Git Bash and scripts write paths
      {win, "C:/data/SHA256SUMS", "C:/data", "SHA256SUMS", "", "C:/data/SHA256SUMS\\n", "C:/data/SHA256SUMS"},
      {win, "C:/", "C:/", "", "", "C:/n", "C:/"},
      {win, "C:\\x/", "C:\\x", "", "", "C:\\x/n", "C:\\x"},
      {win, "1:x", ".", "1:x", "", "1:x\\n", "1:x"},  // not a drive letter
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.path) + (row.rules.separator == '/' ? " (POSIX)" : " (Win32)"));
    EXPECT_EQ(FolderOf(row.path, row.rules), row.folder);
    EXPECT_EQ(NameOf(row.path, row.rules), row.name);
    EXPECT_EQ(ExtensionOf(row.path, row.rules), row.extension);
    EXPECT_EQ(JoinPath(row.path, "n", row.rules), row.joined);
    EXPECT_EQ(WithoutTrailingSeparator(row.path, row.rules), row.trimmed);
  }
}

}  // namespace
}  // namespace quillora

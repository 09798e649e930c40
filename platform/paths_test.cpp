#include "platform/paths.h"

#include <gtest/gtest.h>

namespace quillora {
namespace {

// Each row: a path under one family's rules, what splitting it gives, and
// what joining the name "n" below it (taken as a folder) gives.
TEST(Paths, SplitAndJoinUnderBothRules) {
  struct Row {
    PathRules rules;
    const char* path;
    const char* folder;
    const char* name;
    const char* extension;
    const char* joined;
  };
  const PathRules posix = kPosixPaths, win = kWin32Paths;
  const Row rows[] = {
      {posix, "a/b.txt", "a", "b.txt", ".txt", "a/b.txt/n"},
      {posix, "/a", "/", "a", "", "/a/n"},
      {posix, "/", "/", "", "", "/n"},
      {posix, "b.md5", ".", "b.md5", ".md5", "b.md5/n"},
      {posix, "", ".", "", "", "n"},
      {posix, "a/b/", "a/b", "", "", "a/b/n"},
      {posix, "a//b", "a/", "b", "", "a//b/n"},
      {posix, "x.d/name", "x.d", "name", "", "x.d/name/n"},
      {posix, "a/.hidden", "a", ".hidden", ".hidden", "a/.hidden/n"},
      {posix, "C:x", ".", "C:x", "", "C:x/n"},     // ":" is a plain byte here
      {posix, "a\\b", ".", "a\\b", "", "a\\b/n"},  // and so is "\"
      {win, "C:\\x\\y.md5", "C:\\x", "y.md5", ".md5", "C:\\x\\y.md5\\n"},
      {win, "C:\\y", "C:\\", "y", "", "C:\\y\\n"},
      {win, "C:\\", "C:\\", "", "", "C:\\n"},
      {win, "C:y", "C:", "y", "", "C:y\\n"},
      {win, "C:", "C:", "", "", "C:n"},
      {win, "y", ".", "y", "", "y\\n"},
      {win, "\\y", "\\", "y", "", "\\y\\n"},
      {win, "\\\\host\\share\\f.txt", "\\\\host\\share", "f.txt", ".txt", "\\\\host\\share\\f.txt\\n"},
      {win, "a/b", ".", "a/b", "", "a/b\\n"},
      {win, "1:x", ".", "1:x", "", "1:x\\n"},  // not a drive letter
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.path) + (row.rules.separator == '/' ? " (POSIX)" : " (Win32)"));
    EXPECT_EQ(FolderOf(row.path, row.rules), row.folder);
    EXPECT_EQ(NameOf(row.path, row.rules), row.name);
    EXPECT_EQ(ExtensionOf(row.path, row.rules), row.extension);
    EXPECT_EQ(JoinPath(row.path, "n", row.rules), row.joined);
  }
}

}  // namespace
}  // namespace quillora

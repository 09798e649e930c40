#include "platform/folder_walk.h"


#include <algorithm>
#include <map>
#include <vector>

#include <gtest/gtest.h>

#include "testing/posix_only.h"
#include "testing/temp_tree.h"

namespace quillora {
namespace {

using testing::TempTree;

const std::string kSeparator(1, kPathSeparator);

// path below base with "/" between names, a folder marked with a "/".
std::string Relative(const std::string& path, const std::string& base, EntryKind kind) {
  std::string relative = path.substr(base.size()) + (kind == EntryKind::kFolder ? "/" : "");
  std::replace(relative.begin(), relative.end(), kPathSeparator, '/');
  return relative;
}

// Paths relative to base (the tree's root), a folder marked with a "/".
std::vector<std::string> Walk(Env& env, const std::string& root, bool into, const std::string& base) {
  std::vector<std::string> seen;
  HeldFolders held(env, DescriptorBudget(env));
  FolderWalk walk(env, root, into, &held);
  WalkEntry e;
  while (walk.Next(e)) {
    EXPECT_EQ(e.file.path, e.folder + kSeparator + e.name);
    // A regular file opens by its name in its folder held open; a link, by its path.
    EXPECT_EQ(e.file.folder != nullptr, e.file.listed_regular) << e.file.path;
    seen.push_back(Relative(e.file.path, base, e.kind));
  }
  return seen;
}

// What a plain recursive scan over the same listings gives.
void Recursive(Env& env, const std::string& folder, const std::string& root, std::vector<std::string>& out) {
  auto listing = env.ListFolder(folder);
  FolderEntry e;
  while (listing->Next(e)) {
    const std::string path = folder + kSeparator + e.name;
    out.push_back(Relative(path, root, e.kind));
    if (e.kind == EntryKind::kFolder) Recursive(env, path, root, out);
  }
}

TEST(FolderWalk, SameOrderAsARecursiveScan) {
  TempTree tree;
  for (int i = 0; i < 5; ++i) {
    tree.Write("f" + std::to_string(i), "");
    tree.Write("d" + std::to_string(i) + "/x", "");
    tree.Write("d" + std::to_string(i) + "/e/y", "");
  }
  tree.Write("deep/1/2/3/4/z", "");
  tree.Folder("empty");
  std::vector<std::string> expected;
  Recursive(Env::Default(), tree.path(), tree.path(), expected);
  EXPECT_EQ(Walk(Env::Default(), tree.path(), true, tree.path()), expected);
  EXPECT_EQ(Walk(Env::Default(), tree.path() + kSeparator, true, tree.path()), expected) << "a trailing separator changes nothing";
  EXPECT_EQ(expected.size(), 5u + 5 * 4 + 1 + 6);
}

TEST(FolderWalk, WithoutSubFoldersOnlyTheRootsEntries) {
  TempTree tree;
  tree.Write("a", "");
  tree.Write("d/b", "");
  auto seen = Walk(Env::Default(), tree.path(), false, tree.path());
  std::sort(seen.begin(), seen.end());
  EXPECT_EQ(seen, (std::vector<std::string>{"/a", "/d/"}));
}

TEST(FolderWalk, LinksToFoldersArePassedOverAndUnlistableFoldersSayWhy) {
  SKIP_WITHOUT_POSIX("symbolic links, and modes that bind an unprivileged user");
  TempTree tree;
  tree.Write("d/a", "");
  ASSERT_EQ(::symlink(tree.path().c_str(), tree.At("d/up").c_str()), 0);
  ASSERT_EQ(::symlink(tree.At("d").c_str(), tree.At("d/self").c_str()), 0);
  ASSERT_EQ(::symlink("/", tree.At("d/root").c_str()), 0);
  ASSERT_EQ(::symlink("a", tree.At("d/file").c_str()), 0);
  tree.Write("closed/hidden", "");
  ::chmod(tree.At("closed").c_str(), 0);
  const std::string root = tree.path();
  const int outcome = testing::RunUnprivileged([&] {
    auto seen = Walk(Env::Default(), root, true, root);
    std::sort(seen.begin(), seen.end());
    const std::vector<std::string> expected = {"/closed/", "/d/", "/d/a", "/d/file"};
    if (seen != expected) return 1;
    FolderWalk walk(Env::Default(), root + "/closed", true);
    WalkEntry e;
    return walk.root_error() == EACCES && !walk.Next(e) ? 0 : 2;
  });
  EXPECT_EQ(outcome, 0);
  EXPECT_TRUE(Walk(Env::Default(), tree.At("missing"), true, tree.path()).empty());
}

}  // namespace
}  // namespace quillora

#include "digests/listed_folders.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "testing/fault_env.h"
#include "testing/posix_only.h"
#include "testing/temp_tree.h"

namespace quillora {
namespace {

using testing::FaultEnv;
using testing::TempTree;

// Only what the listing calls a regular file is vouched for: a FIFO or a
// device must never be opened without the look that refuses it.
TEST(ListedFolders, VouchesOnlyForRegularFilesOfListableFolders) {
  SKIP_WITHOUT_POSIX("FIFOs and links");
  TempTree tree;
  tree.Write("a/file", "x");
  tree.Write("closed/file", "x");
  tree.Folder("a/folder");
  ASSERT_EQ(::mkfifo(tree.At("a/fifo").c_str(), 0644), 0);
  ASSERT_EQ(::symlink("file", tree.At("a/link").c_str()), 0);
  FaultEnv env;
  env.lookup_errors[tree.At("closed")] = EACCES;
  ListedFolders listed(env, DescriptorBudget(env));
  const struct {
    std::string relative;
    bool regular;
  } cases[] = {
      {"a/file", true},    {"a/fifo", false}, {"a/link", false},        {"a/folder", false},
      {"a/missing", false}, {"a/", false},    {"closed/file", false}, {"a/file", true},
  };
  for (const auto& c : cases) {
    FileToOpen file{tree.At(c.relative)};
    listed.Vouch(file);
    EXPECT_EQ(file.listed_regular, c.regular) << c.relative;
    if (file.listed_regular) {
      ASSERT_NE(file.folder, nullptr);
      EXPECT_EQ(file.path.substr(file.name_at), "file");
    }
  }
  EXPECT_EQ(env.listings, 2u) << "a folder met again is not listed again";
}

// Paths that hop between a few folders do not cost a listing each.
TEST(ListedFolders, PathsHoppingBetweenFoldersListEachOnce) {
  if (!kListingsSayRegular) GTEST_SKIP() << "this system's listings vouch for no file";
  TempTree tree;
  FaultEnv env;
  ListedFolders listed(env, DescriptorBudget(env));
  std::vector<std::string> paths;
  for (int i = 0; i < 60; ++i) paths.push_back(tree.Write(std::string(1, "abc"[i % 3]) + "/" + std::to_string(i), "x"));
  for (const std::string& path : paths) {
    FileToOpen file{path};
    listed.Vouch(file);
    EXPECT_TRUE(file.listed_regular) << path;
  }
  EXPECT_EQ(env.listings, 3u);
}

}  // namespace
}  // namespace quillora

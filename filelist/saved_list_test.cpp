#include "filelist/saved_list.h"


#include <vector>

#include <gtest/gtest.h>

#include "platform/errors.h"
#include "testing/fault_env.h"
#include "testing/posix_only.h"
#include "testing/temp_tree.h"

namespace quillora {
namespace {

using testing::TempTree;

TEST(SavedList, ExactBytesOfEveryKindOfRow) {
  TempTree tree;
  const std::vector<ListRow> rows = {
      {"/data/a.txt", "0cc175b9c0f1b6a831c399e269772661"},
      {"/data/caf\xE9 locked.db", std::string("Could not open file")},
      {"/data/busy.bin", std::nullopt},
  };
  const std::string out = tree.At("list.txt");
  SaveList(Env::Default(), out, rows);
  EXPECT_EQ(testing::ReadFile(out),
            "/data/a.txt     0cc175b9c0f1b6a831c399e269772661\r\n"
            "/data/caf\xE9 locked.db     Could not open file\r\n"
            "/data/busy.bin     Could not open file\r\n");
}

TEST(SavedList, EmptyListWritesAnEmptyFile) {
  TempTree tree;
  SaveList(Env::Default(), tree.At("e.txt"), {});
  EXPECT_EQ(testing::ReadFile(tree.At("e.txt")), "");
}

TEST(SavedList, AFailedSaveLeavesTheOldFileAndNoPartialFile) {
  TempTree tree;
  const std::string out = tree.Write("list.txt", "old content\r\n");
  testing::FaultEnv env;
  env.appends_allowed = 0;  // the disk is full
  const std::vector<ListRow> rows = {{"/a", "d41d8cd98f00b204e9800998ecf8427e"}};
  try {
    SaveList(env, out, rows);
    FAIL() << "no error";
  } catch (const IoError& e) {
    EXPECT_STREQ(e.what(), "Disk full");
  }
  EXPECT_EQ(testing::ReadFile(out), "old content\r\n");
  auto listing = Env::Default().ListFolder(tree.path());
  FolderEntry entry;
  int entries = 0;
  while (listing->Next(entry)) ++entries;
  EXPECT_EQ(entries, 1) << "temporary file left behind";
}

TEST(SavedList, NoPermissionIsAccessDenied) {
  SKIP_WITHOUT_POSIX("modes that bind an unprivileged user");
  TempTree tree;
  const std::string folder = tree.Folder("closed");
  ::chmod(folder.c_str(), 0555);
  const int outcome = testing::RunUnprivileged([&] {
    try {
      SaveList(Env::Default(), folder + "/x.txt", {});
      return 1;
    } catch (const IoError& e) {
      return std::string(e.what()) == "File access denied" ? 0 : 2;
    }
  });
  EXPECT_EQ(outcome, 0);
}

}  // namespace
}  // namespace quillora

#include "filelist/saved_list.h"

#include <sys/stat.h>

#include <vector>

#include <gtest/gtest.h>

#include "platform/errors.h"
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

// Fails every write after the first bytes, as a full disk does.
class FullDiskEnv : public Env {
 public:
  std::unique_ptr<ReplacingFile> CreateReplacing(const std::string& path) override {
    class Failing : public ReplacingFile {
     public:
      explicit Failing(std::unique_ptr<ReplacingFile> real) : real_(std::move(real)) {}
      void Append(std::string_view bytes) override {
        real_->Append(bytes.substr(0, 3));
        throw IoError(101);
      }
      void Commit() override { real_->Commit(); }
      const std::string& temp_path() const override { return real_->temp_path(); }

     private:
      std::unique_ptr<ReplacingFile> real_;
    };
    auto real = Env::CreateReplacing(path);
    temp = real->temp_path();
    return std::make_unique<Failing>(std::move(real));
  }
  std::string temp;
};

TEST(SavedList, AFailedSaveLeavesTheOldFileAndNoPartialFile) {
  TempTree tree;
  const std::string out = tree.Write("list.txt", "old content\r\n");
  FullDiskEnv env;
  const std::vector<ListRow> rows = {{"/a", "d41d8cd98f00b204e9800998ecf8427e"}};
  try {
    SaveList(env, out, rows);
    FAIL() << "no error";
  } catch (const IoError& e) {
    EXPECT_STREQ(e.what(), "Disk full");
  }
  EXPECT_EQ(testing::ReadFile(out), "old content\r\n");
  struct stat st;
  EXPECT_NE(::stat(env.temp.c_str(), &st), 0) << "temporary file left behind";
}

TEST(SavedList, NoPermissionIsAccessDenied) {
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

// `quillora PATH...`: the paths arrive as a drop once the window runs.
#include "app/launch_paths.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "app/UnitFrmMain.h"
#include "app/file_list_model.h"
#include "platform/paths.h"
#include "testing/posix_only.h"
#include "app/path_box.h"
#include "app/skin/page_control.h"
#include "app/testing/window_testing.h"
#include "testing/temp_tree.h"

namespace quillora {
namespace {

const std::string kMd5A = "0cc175b9c0f1b6a831c399e269772661";
const std::string kMd5Abc = "900150983cd24fb0d6963f7d28e17f72";
using Rows = std::vector<std::pair<std::string, std::string>>;  // (path, second column)

TEST(LaunchPaths, OpenAsADropOnTheListOrOneCheckFileReadyToVerify) {
  SKIP_WITHOUT_POSIX("names that differ only in letter case (sums.md5 and SUMS.MD5)");
  testing::TempTree tree;
  const std::string a = tree.Write("a.txt", "a"), abc = tree.Write("abc.txt", "abc");
  const std::string folder = tree.Folder("folder");
  const std::string in_folder = tree.Write("folder/in.txt", "a");
  const std::string check_file = tree.Write("sums.md5", "");
  const std::string upper = tree.Write("SUMS.MD5", "abc");
  const std::string checked = tree.Folder("checked");
  const std::string its_check_file = tree.Write("checked/CheckSum.md5", "");
  const std::string missing = tree.At("missing.txt");

  enum Page { kList = 0, kVerifier = 2 };
  struct Case {
    std::vector<std::string> paths;
    Page page;
    Rows rows;               // of the list
    std::string check_file;  // in the verifier's box
  };
  const Case cases[] = {
      {{}, kList, {}, ""},
      {{a, abc}, kList, {{a, kMd5A}, {abc, kMd5Abc}}, ""},
      {{folder}, kList, {{in_folder, kMd5A}}, ""},
      {{check_file}, kVerifier, {}, check_file},
      {{checked}, kVerifier, {}, its_check_file},
      {{upper}, kVerifier, {}, upper},  // letter case ignored, as in a drop
      {{check_file, a}, kList, {{check_file, "d41d8cd98f00b204e9800998ecf8427e"}, {a, kMd5A}}, ""},
      {{missing}, kList, {{missing, "Could not open file"}}, ""},
  };
  for (const Case& c : cases) {
    testing::RecordingShell shell;
    testing::ScriptedFileDialogs dialogs;
    TForm1 form(shell, dialogs);
    OpenLaunchPaths(form, c.paths);
    form.show();
    QCoreApplication::processEvents();
    const std::string what = c.paths.empty() ? "no path" : c.paths.front();
    EXPECT_EQ(form.PageControl->CurrentIndex(), c.page) << what;
    Rows rows;
    for (const FileListModel::Row& row : form.LvwFileModel->Rows())
      rows.emplace_back(row.path, row.digest.value_or("(none)"));
    EXPECT_EQ(rows, c.rows) << what;
    EXPECT_EQ(PathText(*form.EdtCheckfilePath), c.check_file) << what;
    EXPECT_EQ(form.MemoVerifyResult->toPlainText(), testing::kVerifierPrompt) << what << ": not started";
  }
}

TEST(LaunchPaths, AreTheArgumentsMadeFull) {
  testing::TempTree tree;
  const std::string here = tree.Folder("here");
#ifdef _WIN32
  char program[] = "quillora", relative[] = "a b.txt", full[] = "C:\\x\\e.txt";
#else
  char program[] = "quillora", relative[] = "a b.txt", full[] = "/x/\xE9.txt";
#endif
  char* argv[] = {program, relative, full, nullptr};
  char old[4096];
  ASSERT_NE(getcwd(old, sizeof old), nullptr);
  ASSERT_EQ(chdir(here.c_str()), 0);
  const std::vector<std::string> paths = LaunchPaths(3, argv);
  ASSERT_EQ(chdir(old), 0);
  EXPECT_EQ(paths, (std::vector<std::string>{here + quillora::kPathSeparator + "a b.txt", full}));
  EXPECT_TRUE(LaunchPaths(1, argv).empty());
}

}  // namespace
}  // namespace quillora

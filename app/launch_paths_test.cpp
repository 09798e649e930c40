// `quillora PATH...` and the file managers' verbs: the page the window shows
// and the job it starts by itself.
#include "app/launch_paths.h"

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "app/UnitFrmMain.h"
#include "app/file_list_model.h"
#include "platform/env.h"
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
const std::string kMd5Record = "26ec792f89bbc29efccf493ffa11fc20";  // of the check files' one record
using Rows = std::vector<std::pair<std::string, std::string>>;  // (path, second column)

TEST(LaunchPaths, ShowTheirPageAndStartTheJobAFileManagerAsksFor) {
  SKIP_WITHOUT_POSIX("names that differ only in letter case (sums.md5 and SUMS.MD5)");
  testing::TempTree tree;
  const std::string a = tree.Write("a.txt", "a"), abc = tree.Write("abc.txt", "abc");
  const std::string folder = tree.Folder("folder");
  const std::string in_folder = tree.Write("folder/in.txt", "a");
  const std::string record = kMd5A + "\ta.txt\r\n";
  const std::string check_file = tree.Write("sums.md5", record);
  const std::string upper = tree.Write("SUMS.MD5", record);
  const std::string any_name = tree.Write("records.txt", record);
  const std::string checked = tree.Folder("checked");
  const std::string its_check_file = tree.Write("checked/CheckSum.md5", "");
  const std::string to_make = tree.Folder("to-make");
  tree.Write("to-make/x.txt", "abc");
  const std::string missing = tree.At("missing.md5");

  enum Page { kList = 0, kMaker = 1, kVerifier = 2 };
  const std::string verified = "OK ... \"" + a + "\"";
  struct Case {
    LaunchVerb verb;
    std::vector<std::string> paths;
    Page page;
    Rows rows;               // of the list
    std::string check_file;  // in the verifier's box
    std::string verify;      // in the verifier's result ("": the prompt, not started)
  };
  const Case cases[] = {
      {LaunchVerb::kOpen, {}, kList, {}, "", ""},
      {LaunchVerb::kOpen, {a, abc}, kList, {{a, kMd5A}, {abc, kMd5Abc}}, "", ""},
      {LaunchVerb::kOpen, {folder}, kList, {{in_folder, kMd5A}}, "", ""},
      {LaunchVerb::kOpen, {check_file}, kVerifier, {}, check_file, verified},
      {LaunchVerb::kOpen, {upper}, kVerifier, {}, upper, verified},  // a check file's name in any case
      {LaunchVerb::kOpen, {checked}, kVerifier, {}, its_check_file, "Operation completes."},
      {LaunchVerb::kOpen, {any_name}, kList, {{any_name, kMd5Record}}, "", ""},
      {LaunchVerb::kOpen, {check_file, a}, kList, {{check_file, kMd5Record}, {a, kMd5A}}, "", ""},
      {LaunchVerb::kOpen, {missing}, kList, {{missing, "Could not open file"}}, "", ""},
      {LaunchVerb::kVerify, {any_name}, kVerifier, {}, any_name, verified},  // the verb takes any name
      {LaunchVerb::kVerify, {checked}, kVerifier, {}, its_check_file, "Operation completes."},
      {LaunchVerb::kCalculate, {check_file}, kList, {{check_file, kMd5Record}}, "", ""},
      {LaunchVerb::kMake, {to_make}, kMaker, {}, "", ""},
  };
  for (const Case& c : cases) {
    testing::RecordingShell shell;
    testing::ScriptedFileDialogs dialogs;
    TForm1 form(shell, dialogs);
    OpenLaunch(form, Launch{c.verb, c.paths});
    form.show();
    QCoreApplication::processEvents();
    const std::string what = c.paths.empty() ? "no path" : c.paths.front();
    EXPECT_EQ(form.PageControl->CurrentIndex(), c.page) << what;
    Rows rows;
    for (const FileListModel::Row& row : form.LvwFileModel->Rows())
      rows.emplace_back(row.path, row.digest.value_or("(none)"));
    EXPECT_EQ(rows, c.rows) << what;
    EXPECT_EQ(PathText(*form.EdtCheckfilePath), c.check_file) << what;
    const QString result = form.MemoVerifyResult->toPlainText();
    if (c.verify.empty()) {
      EXPECT_EQ(result, testing::kVerifierPrompt) << what << ": not started";
    } else {
      EXPECT_TRUE(result.contains(QString::fromStdString(c.verify))) << what << ": " << result.toStdString();
    }
    if (c.verb == LaunchVerb::kMake) {
      EXPECT_EQ(PathText(*form.EdtPath), to_make);
      EXPECT_TRUE(Env::Default().FileExists(to_make + kPathSeparator + "CheckSum.md5")) << "made at once";
    }
  }
}

TEST(LaunchPaths, AVerifyThatCannotStartSaysWhyAsTheButtonWould) {
  testing::TempTree tree;
  const std::string empty_folder = tree.Folder("empty");
  testing::RecordingShell shell;
  testing::ScriptedFileDialogs dialogs;
  TForm1 form(shell, dialogs);
  QString said;
  testing::ModalDriver driver([&](QWidget* modal) {
    for (QLabel* label : modal->findChildren<QLabel*>()) said += label->text();
    testing::PressKey(modal, Qt::Key_Return);
  });
  OpenLaunch(form, Launch{LaunchVerb::kVerify, {empty_folder}});
  form.show();
  QCoreApplication::processEvents();
  EXPECT_TRUE(driver.Ran());
  EXPECT_TRUE(said.contains("The check file does not exist")) << said.toStdString();
  EXPECT_EQ(form.PageControl->CurrentIndex(), 2);
}

TEST(LaunchPaths, ReadAVerbFirstAndEveryOtherArgumentAsAFullPath) {
  testing::TempTree tree;
  const std::string here = tree.Folder("here");
  const std::string sep(1, kPathSeparator);
  const auto at = [&](const std::string& name) { return here + sep + name; };
#ifdef _WIN32
  const std::string full = "C:\\x\\e.txt";
#else
  const std::string full = "/x/\xE9.txt";
#endif
  struct Case {
    std::vector<std::string> arguments;
    LaunchVerb verb;
    std::vector<std::string> paths;
  };
  const Case cases[] = {
      {{}, LaunchVerb::kOpen, {}},
      {{"a b.txt", full}, LaunchVerb::kOpen, {at("a b.txt"), full}},
      {{"--verify", "s.md5"}, LaunchVerb::kVerify, {at("s.md5")}},
      {{"--make", "--", "--make"}, LaunchVerb::kMake, {at("--make")}},
      {{"--calculate", "a", full}, LaunchVerb::kCalculate, {at("a"), full}},
      {{"--", "--verify"}, LaunchVerb::kOpen, {at("--verify")}},
      {{"a", "--verify"}, LaunchVerb::kOpen, {at("a"), at("--verify")}},  // a verb comes first or not at all
  };
  char old[4096];
  ASSERT_NE(getcwd(old, sizeof old), nullptr);
  ASSERT_EQ(chdir(here.c_str()), 0);
  for (const Case& c : cases) {
    std::vector<std::string> words = {"quillora"};
    words.insert(words.end(), c.arguments.begin(), c.arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    const Launch launch = ReadLaunch(static_cast<int>(argv.size()), argv.data());
    EXPECT_EQ(launch.verb, c.verb) << words.size();
    EXPECT_EQ(launch.paths, c.paths);
  }
  ASSERT_EQ(chdir(old), 0);
}

}  // namespace
}  // namespace quillora

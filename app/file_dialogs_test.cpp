// The real Qt dialogs behind the FileDialogs seam, answered as a person would.
#include "app/file_dialogs.h"

#include <QFileDialog>
#include <QLineEdit>
#include <QtTest/QTest>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "app/testing/window_testing.h"
#include "testing/temp_tree.h"

namespace quillora {
namespace {

using testing::ModalDriver;
using testing::TempTree;

// Types names into the dialog's name box and presses Enter.
ModalDriver Typing(const QString& names, int filter = -1) {
  return ModalDriver([names, filter](QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    ASSERT_NE(dialog, nullptr) << "not the file dialog";
    if (filter >= 0) dialog->selectNameFilter(dialog->nameFilters().at(filter));
    auto* edit = dialog->findChild<QLineEdit*>("fileNameEdit");
    ASSERT_NE(edit, nullptr);
    edit->setText(names);
    QTest::keyClick(edit, Qt::Key_Return);
  });
}

TEST(QtFileDialogs, SeveralTypedNamesAreTakenWhetherTheyExistOrNot) {
  TempTree tree;
  tree.Write("a.txt", "a");
  QtFileDialogs dialogs;
  FileDialogRequest request{"Choose files to calculate MD5 checksum:", "All file(*.*)|*.*", "", tree.At("a.txt")};
  auto driver = Typing("\"a.txt\" \"typed-missing.txt\"");
  const OpenAnswer answer = dialogs.OpenFiles(request, /*multiple=*/true);
  EXPECT_TRUE(driver.Ran());
  EXPECT_EQ(answer.files, (std::vector<std::string>{tree.At("a.txt"), tree.At("typed-missing.txt")}));
}

TEST(QtFileDialogs, TheFilterInForceComesBackAndOpensTheNextDialog) {
  TempTree tree;
  tree.Write("CheckSum.md5", "");
  tree.Write("other.txt", "");
  QtFileDialogs dialogs;
  TOpenDialog dlg(dialogs, false);
  dlg.Title = "Select checkfile";
  dlg.Filter = "Checkfile (*.md5)|*.md5|All files (*.*)|*.*";
  dlg.FileName = tree.At("CheckSum.md5");
  {
    auto driver = Typing("other.txt", /*filter=*/1);
    ASSERT_TRUE(dlg.Execute());
  }
  EXPECT_EQ(dlg.FileName, tree.At("other.txt"));
  EXPECT_EQ(dlg.FilterIndex, 2) << "\"All files (*.*)\" was in force";

  QString shown_filter;
  QString shown_name;
  ModalDriver look([&](QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    shown_filter = dialog->selectedNameFilter();
    shown_name = dialog->findChild<QLineEdit*>("fileNameEdit")->text();
    dialog->reject();
  });
  EXPECT_FALSE(dlg.Execute()) << "cancelled";
  EXPECT_TRUE(shown_filter.startsWith("All files")) << shown_filter.toStdString();
  EXPECT_EQ(shown_name.toStdString(), "other.txt") << "starts from the last choice";
  EXPECT_EQ(dlg.FileName, tree.At("other.txt")) << "a cancel changes nothing";
}

// Qt's dialog saves its history through QSettings when it closes; the
// program stores nothing between runs. The home folder is this test's own
// (QSettings finds its folders once per process, at its first use: ctest
// runs each test in a process of its own).
TEST(QtFileDialogs, APickASaveAndAFolderChoiceLeaveTheHomeAndTemporaryFoldersEmpty) {
#ifdef _WIN32
  GTEST_SKIP() << "POSIX only: HOME and the XDG folders (Qt keeps its settings in the registry on Windows)";
#else
  TempTree tree;
  const std::string home = tree.Folder("home");
  // A folder made there would outlive a run that a signal ends.
  const std::string temp = tree.Folder("tmp");
  setenv("TMPDIR", temp.c_str(), 1);
  tree.Write("data/a.txt", "a");
  const char* const kFolders[] = {"XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME"};
  const std::string old_home = std::getenv("HOME") ? std::getenv("HOME") : "";
  setenv("HOME", home.c_str(), 1);
  for (const char* name : kFolders) unsetenv(name);

  QtFileDialogs dialogs;
  {
    auto driver = Typing("a.txt");
    const OpenAnswer picked =
        dialogs.OpenFiles({"Choose files to calculate MD5 checksum:", "All file(*.*)|*.*", "", tree.At("data/a.txt")}, true);
    EXPECT_EQ(picked.files, std::vector<std::string>{tree.At("data/a.txt")});
  }
  {
    auto driver = Typing("list");
    EXPECT_EQ(dialogs.SaveFile({"Save MD5 Checksum", "Text file (*.txt)|*.txt|All files (*.*)|*.*", ".txt",
                                tree.At("data/a.txt")}),
              tree.At("data/list.txt"));
  }
  {
    ModalDriver choose([](QWidget* modal) { qobject_cast<QFileDialog*>(modal)->reject(); });
    EXPECT_EQ(dialogs.ChooseFolder("Please select the folder to make checkfile."), std::nullopt);
    EXPECT_TRUE(choose.Ran());
  }

  std::vector<std::string> written;
  for (const std::string& folder : {home, temp})
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) written.push_back(entry.path());
  setenv("HOME", old_home.c_str(), 1);
  unsetenv("TMPDIR");
  EXPECT_EQ(written, std::vector<std::string>{}) << "written into the home or the temporary folder";
#endif
}

}  // namespace
}  // namespace quillora

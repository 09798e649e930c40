// The three job pages driven as a person would: buttons clicked, dialogs
// answered, real files on disk.
#include <QCheckBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QtTest/QTest>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <memory>

#include "app/UnitFrmMain.h"
#include "app/file_list_model.h"
#include "app/skin/form.h"
#include "app/skin/page_control.h"
#include "app/window_sinks.h"
#include "app/testing/window_testing.h"
#include "checkfile/named_check_file.h"
#include "platform/errors.h"
#include "testing/posix_only.h"
#include "testing/temp_tree.h"

namespace quillora {
namespace {

using testing::ModalDriver;
using testing::PressKey;
using testing::TempTree;

constexpr const char* kDigestOfA = "0cc175b9c0f1b6a831c399e269772661";
constexpr const char* kDigestOfB = "92eb5ffee6ae2fec3ad71c777531578f";

std::vector<std::string> Lines(const QPlainTextEdit* box) {
  std::vector<std::string> lines;
  for (const QString& line : box->toPlainText().split('\n')) lines.push_back(line.toStdString());
  return lines;
}

class PagesTest : public ::testing::Test {
 protected:
  void Click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

  // Clicks button and answers the message dialog it opens with key, after
  // noting its caption and text. Fails when no dialog opens.
  std::pair<std::string, std::string> ClickAndAnswer(QPushButton* button, Qt::Key key, int tabs = 0) {
    std::pair<std::string, std::string> seen;
    ModalDriver driver([&](QWidget* modal) {
      seen.first = modal->windowTitle().toStdString();
      if (auto* label = modal->findChild<QLabel*>("lbl")) seen.second = label->text().toStdString();
      for (int i = 0; i < tabs; ++i) PressKey(modal, Qt::Key_Tab);
      PressKey(modal, key);
    });
    Click(button);
    EXPECT_TRUE(driver.Ran()) << "no dialog opened";
    return seen;
  }

  std::vector<std::pair<std::string, std::optional<std::string>>> Rows() const {
    std::vector<std::pair<std::string, std::optional<std::string>>> rows;
    for (const auto& row : form->LvwFileModel->Rows()) rows.emplace_back(row.path, row.digest);
    return rows;
  }

  void Select(std::initializer_list<int> rows) {
    for (int row : rows)
      form->LvwFile->selectionModel()->select(form->LvwFileModel->index(row, 0),
                                              QItemSelectionModel::Select | QItemSelectionModel::Rows);
  }

  TempTree tree;
  testing::RecordingShell shell;
  testing::ScriptedFileDialogs dialogs;
  std::unique_ptr<TForm1> form = std::make_unique<TForm1>(shell, dialogs);
};

// --- The file digest list ---------------------------------------------------------

TEST_F(PagesTest, PickAddsOneRowPerChosenFileInTheDialogsOrder) {
  dialogs.open_answers.push_back({});  // cancelled
  Click(form->BtnSelectFile);
  EXPECT_EQ(form->LvwFileModel->Count(), 0);
  ASSERT_EQ(dialogs.open_requests.size(), 1u);
  EXPECT_EQ(dialogs.open_requests[0].title, "Choose files to calculate MD5 checksum:");
  EXPECT_EQ(dialogs.open_requests[0].filter, "All file(*.*)|*.*");
  EXPECT_TRUE(dialogs.open_multiple[0]);

  const std::string a = tree.Write("a.txt", "a"), b = tree.Write("b.txt", "b");
  dialogs.open_answers.push_back({b, a, tree.At("typed-missing"), a, b});
  Click(form->BtnSelectFile);
  using Row = std::pair<std::string, std::optional<std::string>>;
  EXPECT_EQ(Rows(), (std::vector<Row>{{b, kDigestOfB},
                                      {a, kDigestOfA},
                                      {tree.At("typed-missing"), "Could not open file"},
                                      {a, kDigestOfA},
                                      {b, kDigestOfB}}));
}

TEST_F(PagesTest, DeleteRemovesTheSelectedRowsAndAsksForASelectionFirst) {
  Click(form->BtnClear);  // an empty list: nothing, no dialog
  std::vector<std::string> paths;
  for (int i = 1; i <= 5; ++i) paths.push_back(tree.Write("f" + std::to_string(i), "a"));
  dialogs.open_answers.push_back(paths);
  Click(form->BtnSelectFile);

  const auto seen = ClickAndAnswer(form->BtnClear, Qt::Key_Return);
  EXPECT_EQ(seen, std::make_pair(std::string("Error"), std::string("Please select the items you want to delete at first.")));
  EXPECT_EQ(form->LvwFileModel->Count(), 5);

  Select({0, 2, 3});
  Click(form->BtnClear);
  ASSERT_EQ(form->LvwFileModel->Count(), 2);
  EXPECT_EQ(Rows()[0].first, paths[1]);
  EXPECT_EQ(Rows()[1].first, paths[4]);
}

TEST_F(PagesTest, SaveWritesTheListByteForByteAndAsksBeforeReplacing) {
  Click(form->BtnSave);
  EXPECT_TRUE(dialogs.save_requests.empty()) << "an empty list is not saved";

  const std::string odd = tree.Write("caf\xE9.txt", "a");  // not valid UTF-8
  dialogs.open_answers.push_back({odd, tree.At("gone")});
  Click(form->BtnSelectFile);

  const std::string out = tree.At("list.txt");
  dialogs.save_answers.push_back(out);
  Click(form->BtnSave);
  ASSERT_EQ(dialogs.save_requests.size(), 1u);
  EXPECT_EQ(dialogs.save_requests[0].title, "Save MD5 Checksum");
  EXPECT_EQ(dialogs.save_requests[0].filter, "Text file (*.txt)|*.txt|All files (*.*)|*.*");
  EXPECT_EQ(dialogs.save_requests[0].default_extension, ".txt");
  const std::string saved = odd + "     " + kDigestOfA + "\r\n" + tree.At("gone") + "     Could not open file\r\n";
  EXPECT_EQ(testing::ReadFile(out), saved);

  tree.Write("list.txt", "keep me");
  dialogs.save_answers.push_back(out);
  const auto asked = ClickAndAnswer(form->BtnSave, Qt::Key_Return, /*tabs=*/1);  // "NO"
  EXPECT_EQ(asked, std::make_pair(std::string("Overwrite"),
                                  std::string("The file already exists, do you want to overwrite it?")));
  EXPECT_EQ(testing::ReadFile(out), "keep me");

  dialogs.save_answers.push_back(out);
  ModalDriver close_it([](QWidget* modal) {
    QTest::mouseClick(modal->findChild<skin::TsuiForm*>()->CloseButton(), Qt::LeftButton);
  });
  Click(form->BtnSave);
  EXPECT_TRUE(close_it.Ran());
  EXPECT_EQ(testing::ReadFile(out), "keep me") << "closed without an answer: nothing replaced";

  dialogs.save_answers.push_back(out);
  ClickAndAnswer(form->BtnSave, Qt::Key_Return);  // "Yes", the left button, has the focus
  EXPECT_EQ(testing::ReadFile(out), saved);

  // An "Error" notice after the question must still be a plain OK notice.
  const auto notice = ClickAndAnswer(form->BtnClear, Qt::Key_Return);
  EXPECT_EQ(notice.first, "Error");
}

// --- Making a check file ------------------------------------------------------------

TEST_F(PagesTest, FolderChooserFillsThePathAndShowsThePrompt) {
  form->PageControl->SetCurrentIndex(1);
  dialogs.folder_answers.push_back(std::nullopt);
  form->MemoMakeResult->appendPlainText("old line");
  Click(form->BtnSelect);
  EXPECT_EQ(form->EdtPath->text(), "");
  EXPECT_EQ(Lines(form->MemoMakeResult).back(), "old line") << "cancel changes nothing";
  ASSERT_EQ(dialogs.folder_titles.size(), 1u);
  EXPECT_EQ(dialogs.folder_titles[0], "Please select the folder to make checkfile.");

  dialogs.folder_answers.push_back(tree.path());
  Click(form->BtnSelect);
  EXPECT_EQ(form->EdtPath->text().toStdString(), tree.path());
  EXPECT_EQ(Lines(form->MemoMakeResult),
            std::vector<std::string>{"Please select or drag-and-drop a folder to make MD5 checksum, then click "
                                     "\"Make check file\" button."});
}

TEST_F(PagesTest, MakeChecksItsInputThenWritesTheCheckFileAndReports) {
  form->PageControl->SetCurrentIndex(1);
  const auto before = Lines(form->MemoMakeResult);
  form->EdtPath->setText(" \t ");
  EXPECT_EQ(ClickAndAnswer(form->BtnMake, Qt::Key_Return).second, "Please select or drag-and-drop a folder firstly.");
  form->EdtPath->setText(QString::fromStdString(tree.Write("file.txt", "a")));
  EXPECT_EQ(ClickAndAnswer(form->BtnMake, Qt::Key_Return).second, "The folder does not exist.");
  EXPECT_EQ(Lines(form->MemoMakeResult), before) << "input errors leave the result box alone";

  tree.Write("sub/b.txt", "b");
  form->EdtPath->setText(QString::fromStdString(tree.path()));
  form->ChkSubFolder->setChecked(false);
  Click(form->BtnMake);
  const auto lines = Lines(form->MemoMakeResult);
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(lines[0], "Processing file \"file.txt\" ... OK");
  EXPECT_EQ(std::vector<std::string>(lines.end() - 3, lines.end()),
            (std::vector<std::string>{"", "Operation completed.",
                                      "The MD5 checksum file is save at \"" + tree.path() + kPathSeparator + "CheckSum.md5\""}));
  const std::string check_file = testing::ReadFile(tree.At("CheckSum.md5"));
  EXPECT_NE(check_file.find(std::string(kDigestOfA) + "\tfile.txt\r\n"), std::string::npos);
  EXPECT_EQ(check_file.find("b.txt"), std::string::npos) << "sub-folders were not asked for";
}

TEST_F(PagesTest, AJobThatFailsAfterItsClosingLinesShowsNoneOfThem) {
  for (const bool fails : {false, true}) {
    form->MemoMakeResult->clear();
    try {
      ResultBoxSink sink(*form->MemoMakeResult, [] {});
      sink.FileDone("a.txt", FileStatus::kOk);
      sink.SummaryBegins();
      sink.SummaryLine("Operation completed.");
      if (fails) throw IoError(101);  // the check file could not replace the old one
    } catch (const IoError&) {
    }
    const std::vector<std::string> shown = {"Processing file \"a.txt\" ... OK", "", "Operation completed."};
    EXPECT_EQ(Lines(form->MemoMakeResult), fails ? std::vector<std::string>(shown.begin(), shown.begin() + 1) : shown);
  }
}

TEST_F(PagesTest, MakeRefusesAFolderThatCanBeWrittenButNotListedAsAnUnprivilegedUser) {
  SKIP_WITHOUT_POSIX("modes that bind an unprivileged user");
  form->PageControl->SetCurrentIndex(1);
  const std::string folder = tree.Folder("closed");
  const std::string check_file = tree.Write("closed/CheckSum.md5", "the good check file\r\n");
  ::chmod(check_file.c_str(), 0666);
  ::chmod(folder.c_str(), 0333);
  form->EdtPath->setText(QString::fromStdString(folder));
  const auto before = Lines(form->MemoMakeResult);
  const int result = testing::RunUnprivileged([&] {
    if (ClickAndAnswer(form->BtnMake, Qt::Key_Return).second != "The folder cannot be read.") return 1;
    return Lines(form->MemoMakeResult) == before ? 0 : 2;
  });
  ::chmod(folder.c_str(), 0755);
  EXPECT_EQ(result, 0) << "1: no message, 2: the result box changed";
  EXPECT_EQ(testing::ReadFile(check_file), "the good check file\r\n");
}

// --- Verifying a check file ----------------------------------------------------------

TEST_F(PagesTest, VerifyReportsEachRecordAndTheSummary) {
  form->PageControl->SetCurrentIndex(2);
  const std::string check_file = tree.Write("CheckSum.md5", std::string(";comment\r\n") + kDigestOfA +
                                                                "\ta.txt\r\n" + kDigestOfA + "\tb.txt\r\n" +
                                                                kDigestOfA + "\tgone.txt\r\n");
  tree.Write("a.txt", "a");
  tree.Write("b.txt", "b");

  dialogs.open_answers.push_back({check_file});
  Click(form->BtnSelectCheckfile);
  ASSERT_EQ(dialogs.open_requests.size(), 1u);
  EXPECT_EQ(dialogs.open_requests[0].title, "Select checkfile");
  EXPECT_EQ(dialogs.open_requests[0].filter,
            "Checkfile (*.md5)|*.md5|All check files|" + CheckFilePatterns() + "|All files (*.*)|*.*");
  EXPECT_FALSE(dialogs.open_multiple[0]);
  EXPECT_EQ(form->EdtCheckfilePath->text().toStdString(), check_file);

  Click(form->BtnVerify);
  const std::string base = tree.path() + kPathSeparator;
  EXPECT_EQ(Lines(form->MemoVerifyResult),
            (std::vector<std::string>{
                "OK ... \"" + base + "a.txt\"", "File changed ... \"" + base + "b.txt\"",
                "File does not exist ... \"" + base + "gone.txt\"", "", "Operation completes.",
                "3 files were verified. 1 file did not exist. 1 file changed. ", "",
                "The following files have been changed since the check file was made:", base + "b.txt", "",
                "The following files are lost:", base + "gone.txt"}));

  // Lines of a digest not computed here are no pass in the box either.
  form->EdtCheckfilePath->setText(
      QString::fromStdString(tree.Write("B2SUMS", "MD4 (a.txt) = " + std::string(kDigestOfA) + "\n")));
  Click(form->BtnVerify);
  const std::vector<std::string> lines = Lines(form->MemoVerifyResult);
  EXPECT_NE(std::find(lines.begin(), lines.end(), "The check file holds no record."), lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), "1 of them is a record of MD4, a digest not computed here."),
            lines.end());
}

TEST_F(PagesTest, VerifyInputErrorsLeaveTheResultBoxAlone) {
  form->PageControl->SetCurrentIndex(2);
  const auto before = Lines(form->MemoVerifyResult);
  EXPECT_EQ(ClickAndAnswer(form->BtnVerify, Qt::Key_Return).second,
            "Please select or drag-and-drop a check file firstly.");
  form->EdtCheckfilePath->setText(QString::fromStdString(tree.path()));
  EXPECT_EQ(ClickAndAnswer(form->BtnVerify, Qt::Key_Return).second, "The check file does not exist.");
  EXPECT_EQ(Lines(form->MemoVerifyResult), before);
}

}  // namespace
}  // namespace quillora

#include "app/UnitFrmMain.h"

#include <QApplication>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QTabBar>
#include <QTableView>
#include <QtTest/QTest>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "app/click_label.h"
#include "app/drop_intake.h"
#include "app/file_list_model.h"
#include "app/shell.h"
#include "app/skin/form.h"
#include "app/skin/page_control.h"
#include "app/testing/window_testing.h"
#include "platform/env.h"
#include "platform/errors.h"
#include "testing/posix_only.h"
#include "testing/temp_tree.h"

namespace quillora {
namespace {

using testing::kMakerPrompt;
using testing::kVerifierPrompt;

class WindowTest : public ::testing::Test {
 protected:
  void ShowActive() {
    form->show();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
  }

  testing::RecordingShell shell;
  testing::ScriptedFileDialogs dialogs;
  std::unique_ptr<TForm1> form = std::make_unique<TForm1>(shell, dialogs);
};

TEST_F(WindowTest, StartsOnTheFirstPageWithEmptyBoxesAndBothPrompts) {
  EXPECT_EQ(form->windowTitle(), "Quillora");
  EXPECT_EQ(form->PageControl->CurrentIndex(), 0);
  EXPECT_EQ(form->PageControl->CurrentPage(), form->SheetFileMD5);
  EXPECT_EQ(form->LvwFileModel->rowCount(), 0);
  EXPECT_EQ(form->EdtPath->text(), "");
  EXPECT_EQ(form->EdtCheckfilePath->text(), "");
  EXPECT_TRUE(form->ChkSubFolder->isChecked());
  EXPECT_EQ(form->MemoMakeResult->toPlainText(), kMakerPrompt);
  EXPECT_EQ(form->MemoVerifyResult->toPlainText(), kVerifierPrompt);
  EXPECT_EQ(form->MemoMakeResult->blockCount(), 1) << "one paragraph";
  EXPECT_EQ(form->MemoVerifyResult->blockCount(), 1);
  EXPECT_TRUE(form->acceptDrops());
  EXPECT_FALSE(form->windowIcon().isNull());
}

TEST_F(WindowTest, EveryControlSitsWhereTheLayoutPutsIt) {
  ShowActive();
  EXPECT_EQ(form->PageControl->geometry(), QRect(8, 32, 489, 265));
  const QWidget* pages[] = {form->SheetFileMD5, form->SheetMaker, form->SheetVerifier, form->SheetAbout};
  const QStringList tabs = {"Calculate file MD5", "Make check file", "Verify check file", "About"};
  ASSERT_EQ(form->PageControl->Count(), 4);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(form->PageControl->Page(i), pages[i]);
    EXPECT_EQ(form->PageControl->TabBar()->tabText(i), tabs[i]);
    form->PageControl->SetCurrentIndex(i);
    EXPECT_EQ(QRect(pages[i]->mapTo(form->PageControl, QPoint(0, 0)), pages[i]->size()),
              QRect(3, 37, 483, 225))
        << tabs[i].toStdString();
  }
  EXPECT_EQ(form->PageControl->TabBar()->tabRect(0).left() + form->PageControl->TabBar()->x(), 10);

  struct Placed {
    const QWidget* widget;
    const QWidget* parent;
    QRect rect;
    QString caption;
  };
  const Placed table[] = {
      {form->BtnHelp, form.get(), {320, 304, 80, 27}, "Help"},
      {form->BtnExit, form.get(), {416, 304, 80, 27}, "Exit"},
      {form->LvwFile, form->SheetFileMD5, {8, 8, 465, 177}, ""},
      {form->BtnSelectFile, form->SheetFileMD5, {80, 192, 184, 27}, "Select Files to calculate MD5"},
      {form->BtnClear, form->SheetFileMD5, {280, 192, 89, 27}, "Delete"},
      {form->BtnSave, form->SheetFileMD5, {384, 192, 89, 27}, "Save"},
      {form->EdtPath, form->SheetMaker, {56, 9, 369, 17}, ""},
      {form->BtnSelect, form->SheetMaker, {432, 8, 41, 19}, "..."},
      {form->BtnMake, form->SheetMaker, {8, 32, 97, 27}, "Make check file"},
      {form->ChkSubFolder, form->SheetMaker, {272, 32, 112, 21}, "Include sub folders"},
      {form->MemoMakeResult, form->SheetMaker, {8, 64, 465, 153}, ""},
      {form->EdtCheckfilePath, form->SheetVerifier, {72, 9, 337, 17}, ""},
      {form->BtnSelectCheckfile, form->SheetVerifier, {416, 8, 41, 19}, "..."},
      {form->BtnVerify, form->SheetVerifier, {8, 32, 97, 27}, "Verify check file"},
      {form->MemoVerifyResult, form->SheetVerifier, {8, 64, 465, 153}, ""},
  };
  for (const Placed& p : table) {
    SCOPED_TRACE(p.widget->objectName().toStdString());
    EXPECT_EQ(p.widget->parentWidget(), p.parent);
    EXPECT_EQ(p.widget->geometry(), p.rect);
    if (auto* b = qobject_cast<const QAbstractButton*>(p.widget)) {
      EXPECT_EQ(b->text(), p.caption);
    }
  }

  // Labels size themselves to their text from their designed top left.
  struct Label {
    const QLabel* label;
    const QWidget* parent;
    QPoint at;
    QString text;
  };
  const Label labels[] = {
      {form->Label1, form->SheetMaker, {14, 12}, "Folder : "},
      {form->Label2, form->SheetVerifier, {8, 12}, "Check file : "},
      {form->Label6, form->SheetAbout, {160, 16}, "Quillora v6.2"},
      {form->LblWebsite, form->SheetAbout, {112, 180}, "Website: quillora.example.org/md5"},
      {form->LblEmail, form->SheetAbout, {128, 201}, "Support Email: support@quillora.example.org"},
  };
  for (const Label& l : labels) {
    EXPECT_EQ(l.label->parentWidget(), l.parent);
    EXPECT_EQ(l.label->pos(), l.at);
    EXPECT_EQ(l.label->text(), l.text);
    EXPECT_GE(l.label->width(), l.label->fontMetrics().horizontalAdvance(l.text.trimmed()));
  }
  EXPECT_EQ(form->LblWebsite->cursor().shape(), Qt::PointingHandCursor);
  EXPECT_EQ(form->LblEmail->cursor().shape(), Qt::PointingHandCursor);

  // The list: two fixed columns, grid, whole rows, several at once, no editing.
  const QHeaderView* columns = form->LvwFile->horizontalHeader();
  EXPECT_EQ(columns->sectionSize(0), 210);
  EXPECT_EQ(columns->sectionSize(1), 255);
  EXPECT_EQ(columns->geometry().topLeft(), QPoint(2, 2)) << "the columns start 2 pixels inside the list";
  EXPECT_EQ(form->LvwFile->viewport()->geometry().left(), 2);
  EXPECT_TRUE(form->LvwFile->showGrid());
  EXPECT_EQ(form->LvwFile->selectionBehavior(), QAbstractItemView::SelectRows);
  EXPECT_EQ(form->LvwFile->selectionMode(), QAbstractItemView::ExtendedSelection);
  EXPECT_EQ(form->LvwFile->editTriggers(), QAbstractItemView::NoEditTriggers);
  for (const QPlainTextEdit* memo : {form->MemoMakeResult, form->MemoVerifyResult}) {
    EXPECT_TRUE(memo->isReadOnly());
    EXPECT_EQ(memo->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(memo->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
  }
  QFontInfo face(form->BtnExit->font());
  EXPECT_EQ(face.pixelSize(), 11);
}

TEST_F(WindowTest, TabWalksEachPageInItsDesignedOrder) {
  ShowActive();
  const std::vector<std::pair<int, std::vector<QWidget*>>> orders = {
      {0, {form->BtnSelectFile, form->BtnSave, form->LvwFile, form->BtnClear}},
      {1, {form->BtnSelect, form->BtnMake, form->ChkSubFolder, form->MemoMakeResult, form->EdtPath}},
      {2, {form->BtnSelectCheckfile, form->BtnVerify, form->MemoVerifyResult, form->EdtCheckfilePath}},
  };
  for (const auto& [page, order] : orders) {
    form->PageControl->SetCurrentIndex(page);
    order.front()->setFocus(Qt::TabFocusReason);
    std::vector<QWidget*> seen{QApplication::focusWidget()};
    for (std::size_t i = 1; i < order.size(); ++i) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      seen.push_back(QApplication::focusWidget());
    }
    EXPECT_EQ(seen, order) << "page " << page + 1;
  }
}

TEST_F(WindowTest, CtrlTabAndCtrlPageKeysTurnThePagesFromAnyControl) {
  ShowActive();
  struct Key {
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    int step;
  };
  const Key keys[] = {
      {Qt::Key_Tab, Qt::ControlModifier, 1},
      {Qt::Key_PageDown, Qt::ControlModifier, 1},
      {Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier, -1},  // as X11 sends it
      {Qt::Key_Tab, Qt::ControlModifier | Qt::ShiftModifier, -1},
      {Qt::Key_PageUp, Qt::ControlModifier, -1},
  };
  // Controls that take keys themselves, and the first and last page (wrap).
  const std::vector<std::pair<int, QWidget*>> focused = {
      {0, form->LvwFile},          {0, form->BtnSelectFile}, {1, form->EdtPath},
      {1, form->MemoMakeResult},   {2, form->MemoVerifyResult}, {3, form->BtnHelp},
      {0, form->PageControl->TabBar()},
  };
  for (const Key& k : keys) {
    for (const auto& [page, widget] : focused) {
      form->PageControl->SetCurrentIndex(page);
      widget->setFocus(Qt::OtherFocusReason);
      ASSERT_EQ(QApplication::focusWidget(), widget);
      QTest::keyClick(widget, k.key, k.modifiers);
      EXPECT_EQ(form->PageControl->CurrentIndex(), (page + k.step + 4) % 4)
          << QKeySequence(k.key | k.modifiers).toString().toStdString() << " on "
          << widget->objectName().toStdString() << " of page " << page + 1;
    }
  }
  form->PageControl->SetCurrentIndex(1);
  form->EdtPath->setFocus();
  QTest::keyClick(form->EdtPath, Qt::Key_Tab);
  EXPECT_EQ(form->PageControl->CurrentIndex(), 1) << "Tab alone moves the focus, not the page";
}

TEST_F(WindowTest, HasAFixedSizeAndNoMaximiseButton) {
  EXPECT_EQ(form->minimumSize(), QSize(507, 339));
  EXPECT_EQ(form->maximumSize(), QSize(507, 339));
  EXPECT_EQ(form->size(), QSize(507, 339));
  EXPECT_TRUE(form->windowFlags() & Qt::FramelessWindowHint);
  EXPECT_FALSE(form->windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_EQ(form->suiForm1->geometry(), QRect(0, 0, 507, 339));
  EXPECT_EQ(form->suiForm1->Caption(), "Quillora");
  EXPECT_NE(form->suiForm1->MinimizeButton(), nullptr);
  EXPECT_NE(form->suiForm1->CloseButton(), nullptr);
}

TEST_F(WindowTest, ExitAndTheTitleBarCloseEndTheProgram) {
  for (bool exit_button : {true, false}) {
    form = std::make_unique<TForm1>(shell, dialogs);
    ShowActive();
    QAbstractButton* button =
        exit_button ? static_cast<QAbstractButton*>(form->BtnExit) : form->suiForm1->CloseButton();
    QTimer::singleShot(0, button, [button] { QTest::mouseClick(button, Qt::LeftButton); });
    // Not a timing condition: only keeps a broken close from hanging the run.
    QTimer::singleShot(30000, qApp, [] { QCoreApplication::exit(99); });
    EXPECT_EQ(QCoreApplication::exec(), 0) << "the message loop ends with the window";
    EXPECT_FALSE(form->isVisible());
  }
}

TEST_F(WindowTest, LinksOpenTheWebPageAndANewMail) {
  form->PageControl->SetCurrentIndex(3);
  ShowActive();
  QTest::mouseClick(form->LblWebsite, Qt::LeftButton);
  QTest::mouseClick(form->LblEmail, Qt::LeftButton);
  using Opened = std::vector<std::pair<std::string, std::string>>;
  EXPECT_EQ(shell.opened, (Opened{{"open", "quillora.example.org/md5"},
                                  {"", "mailto:support@quillora.example.org"}}));
}

TEST(HelpFile, LiesInTheExecutablesFolder) {
#ifdef _WIN32
  EXPECT_EQ(HelpFilePath("C:\\Program Files\\Quillora"), "C:\\Program Files\\Quillora\\help.chm");
  EXPECT_EQ(HelpFilePath("C:\\"), "C:\\help.chm") << "a program at the root";
#else
  EXPECT_EQ(HelpFilePath("/opt/quillora"), "/opt/quillora/help.chm");
  EXPECT_EQ(HelpFilePath("/"), "/help.chm") << "a program at the root";
#endif
}

// The child half of the next test: runs only when started by it.
TEST_F(WindowTest, HelpChildReportsWhatHelpOpens) {
  const char* out = std::getenv("QUILLORA_TEST_HELP_OUT");
  if (!out) GTEST_SKIP() << "started by HelpOpensBesideTheRealProgram";
  QTest::mouseClick(form->BtnHelp, Qt::LeftButton);
  ASSERT_EQ(shell.opened.size(), 1u);
  EXPECT_EQ(shell.opened[0].first, "open");
  FILE* f = std::fopen(out, "w");
  ASSERT_NE(f, nullptr);
  std::fputs(shell.opened[0].second.c_str(), f);
  std::fclose(f);
}

TEST(HelpFile, HelpOpensBesideTheRealProgramWhenStartedThroughALink) {
  SKIP_WITHOUT_POSIX("/proc/self/exe, a symbolic link and a shell");
  // This very test program, started through a symbolic link in another
  // folder and from a third working folder, clicks "Help".
  quillora::testing::TempTree tree;
  const std::string real = std::filesystem::read_symlink("/proc/self/exe").string();
  tree.Folder("links");
  tree.Folder("elsewhere");
  const std::string link = tree.At("links/window_test");
  std::filesystem::create_symlink(real, link);
  const std::string out = tree.At("opened.txt");
  const std::string command = "cd '" + tree.At("elsewhere") + "' && QUILLORA_TEST_HELP_OUT='" + out +
                              "' '" + link +
                              "' --gtest_filter=WindowTest.HelpChildReportsWhatHelpOpens >/dev/null 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0);
  const std::string real_folder = std::filesystem::path(real).parent_path().string();
  EXPECT_EQ(quillora::testing::ReadFile(out), real_folder + "/help.chm");
}

// The child half of the next test: the real desktop behind the window.
TEST(HelpFile, HelpChildShowsWhatHelpSays) {
  const char* out = std::getenv("QUILLORA_TEST_HELP_OUT");
  if (!out) GTEST_SKIP() << "started by HelpThatCannotOpenSaysWhy";
  DesktopShell shell;
  testing::ScriptedFileDialogs dialogs;
  TForm1 form(shell, dialogs);
  std::string seen;
  testing::ModalDriver driver([&](QWidget* modal) {
    seen = modal->windowTitle().toStdString() + "\n" + modal->findChild<QLabel*>("lbl")->text().toStdString();
    testing::PressKey(modal, Qt::Key_Return);
  });
  form.show();
  form.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
  QTest::keyClick(&form, Qt::Key_F1);  // the Help button's click is the handler's too
  // The answer comes from the event loop; the limit only keeps a lost one from hanging the run.
  static_cast<void>(QTest::qWaitFor([&] { return driver.Ran(); }, 60000));
  if (form.suiDlg->IconType != suiInformation) seen += "\nnot the information icon";
  std::FILE* f = std::fopen(out, "w");
  ASSERT_NE(f, nullptr);
  std::fputs(seen.c_str(), f);
  std::fclose(f);
}

TEST(HelpFile, HelpThatCannotOpenSaysWhy) {
  SKIP_WITHOUT_POSIX("xdg-open, /proc/self/exe and a shell");
  // A copy of this test program in a folder of its own, with or without
  // help.chm beside it, presses F1. On PATH, and alone there (it needs only
  // the shell's built-ins): an xdg-open that notes its argument and exits
  // with the case's status, or none at all.
  const struct {
    bool help_there;
    std::optional<int> opener_exit;
    std::string reason;
  } cases[] = {
      {true, 3, "no program to open CHM files is installed."},
      {true, std::nullopt, "the xdg-open command (package xdg-utils) is not installed."},
      {false, 0, "the file does not exist."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    quillora::testing::TempTree tree;
    const std::string program = tree.At("my programs/window_test"), help = tree.At("my programs/help.chm");
    tree.Folder("my programs");
    std::filesystem::copy_file("/proc/self/exe", program);
    if (c.help_there) tree.Write("my programs/help.chm", "ITSF");
    tree.Folder("bin");
    if (c.opener_exit)
      std::filesystem::permissions(
          tree.Write("bin/xdg-open", "#!/bin/sh\nprintf %s \"$1\" >\"${0%/*}/ran\"\nexit " +
                                         std::to_string(*c.opener_exit) + "\n"),
          std::filesystem::perms::owner_exec, std::filesystem::perm_options::add);
    const std::string command = "QUILLORA_TEST_HELP_OUT='" + tree.At("seen") + "' PATH='" + tree.At("bin") + "' '" +
                                program + "' --gtest_filter=HelpFile.HelpChildShowsWhatHelpSays >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(quillora::testing::ReadFile(tree.At("seen")),
              "Error\nCannot open the help file \"" + help + "\": " + c.reason);
    // xdg-open gets the path itself, blank and all, and never a missing file.
    EXPECT_EQ(std::filesystem::exists(tree.At("bin/ran")) ? quillora::testing::ReadFile(tree.At("bin/ran")) : "",
              c.help_there && c.opener_exit ? help : "");
  }
}

TEST_F(WindowTest, AJobStartedDuringAJobIsIgnoredAndACloseWaitsForItsEnd) {
  ShowActive();
  int second = 0, drop = 0;
  bool visible_while_busy = false;
  const bool started = form->RunJob([&] {
    EXPECT_TRUE(form->Busy());
    EXPECT_FALSE(form->RunJob([&] { ++second; }));
    form->RunNestedJob([&] {
      ++drop;
      EXPECT_FALSE(form->RunJob([&] { ++second; })) << "a drop keeps the guard up";
    });
    EXPECT_TRUE(form->Busy());
    QTest::mouseClick(form->BtnExit, Qt::LeftButton);
    visible_while_busy = form->isVisible();
    EXPECT_TRUE(form->ClosePending());
  });
  EXPECT_TRUE(started);
  EXPECT_EQ(second, 0);
  EXPECT_EQ(drop, 1);
  EXPECT_TRUE(visible_while_busy) << "the job still uses the window";
  EXPECT_FALSE(form->isVisible()) << "closed when the job returned";
  EXPECT_FALSE(form->Busy());
}

TEST_F(WindowTest, AFailingJobIsReportedAndReleasesTheGuard) {
  QString reported;
  testing::ModalDriver driver([&](QWidget* modal) {
    reported = modal->findChild<QLabel*>("qt_msgbox_label")->text();
    testing::PressKey(modal, Qt::Key_Return);
  });
  EXPECT_TRUE(form->RunJob([] { throw IoError(IoError::kDiskFull); }));
  EXPECT_EQ(reported, "Disk full.");
  EXPECT_FALSE(form->Busy());
  int runs = 0;
  EXPECT_TRUE(form->RunJob([&] { ++runs; }));
  EXPECT_EQ(runs, 1);
}

TEST(DropIntake, TakesLocalPathsInOrderWithTheirExactBytes) {
  QMimeData data;
#ifdef _WIN32  // drive letters, and names in UTF-8
  data.setData("text/uri-list",
               "file:///C:/tmp/a%20b.txt\r\n# a comment\r\nfile:///C:/tmp/caf%C3%A9\r\n"
               "http://example.org/x\r\nfile://localhost/C:/tmp/folder\r\n");
  EXPECT_EQ(DroppedPaths(data),
            (std::vector<std::string>{"C:\\tmp\\a b.txt", "C:\\tmp\\caf\xC3\xA9", "C:\\tmp\\folder"}));
#else
  data.setData("text/uri-list",
               "file:///tmp/a%20b.txt\r\n# a comment\r\nfile:///tmp/caf%E9\r\n"
               "http://example.org/x\r\nfile://localhost/tmp/folder\r\n");
  EXPECT_EQ(DroppedPaths(data),
            (std::vector<std::string>{"/tmp/a b.txt", "/tmp/caf\xE9", "/tmp/folder"}));
#endif
}

}  // namespace
}  // namespace quillora

// Drops reach the window the way the desktop's drag brings them: enter, move
// and drop events sent to the window at a point, routed by Qt to the widget
// there, with real files behind the paths.
#include <QCoreApplication>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QUrl>
#include <QWindow>
#include <QtTest/QTest>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/UnitFrmMain.h"
#include "app/file_list_model.h"
#include "app/path_box.h"
#include "app/skin/page_control.h"
#include "app/testing/window_testing.h"
#include "testing/posix_only.h"
#include "testing/temp_tree.h"

namespace quillora {
namespace {

using testing::kMakerPrompt;
using testing::kVerifierPrompt;
// MD5 of "", "a" and "abc" (RFC 1321 test suite).
const std::string kMd5Empty = "d41d8cd98f00b204e9800998ecf8427e";
const std::string kMd5A = "0cc175b9c0f1b6a831c399e269772661";
const std::string kMd5Abc = "900150983cd24fb0d6963f7d28e17f72";

enum Page { kList, kMaker, kVerifier, kAbout };

using Rows = std::vector<std::pair<std::string, std::string>>;  // (path, second column)

// What a file manager offers: the files as URLs, and as text too.
std::unique_ptr<QMimeData> Files(const std::vector<std::string>& paths) {
  auto data = std::make_unique<QMimeData>();
  QList<QUrl> urls;
  for (const std::string& path : paths) urls.push_back(QUrl::fromLocalFile(QString::fromStdString(path)));
  data->setUrls(urls);
  data->setText(QString::fromUtf8(data->data("text/uri-list")));
  return data;
}

class DropTest : public ::testing::Test {
 protected:
  void SetUp() override {
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
  }

  // Drags data over the window to the middle of `over` and drops it there,
  // as the platform does (enter, move, drop on the window); then lets the
  // window run what the drop queued (unless a job's pump is to run it). False
  // when the window refused the drop.
  bool Drop(const QMimeData& data, QWidget* over = nullptr, bool run_queued = true) {
    if (!over) over = form->PageControl->CurrentPage();
    const QPoint at = over->mapTo(form.get(), over->rect().center());
    QWindow* window = form->windowHandle();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &enter);
    QDragMoveEvent move(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    if (enter.isAccepted()) move.accept();
    QCoreApplication::sendEvent(window, &move);
    if (!move.isAccepted()) {
      QDragLeaveEvent leave;
      QCoreApplication::sendEvent(window, &leave);
      return false;
    }
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &drop);
    if (run_queued) QCoreApplication::processEvents();
    return drop.isAccepted();
  }
  bool Drop(const std::vector<std::string>& paths, QWidget* over = nullptr, bool run_queued = true) {
    return Drop(*Files(paths), over, run_queued);
  }

  Rows ListRows() const {
    Rows rows;
    for (const FileListModel::Row& row : form->LvwFileModel->Rows())
      rows.emplace_back(row.path, row.digest.value_or("(none)"));
    return rows;
  }

  void ShowPage(Page page) { form->PageControl->SetCurrentIndex(page); }

  testing::TempTree tree;
  testing::RecordingShell shell;
  testing::ScriptedFileDialogs dialogs;
  std::unique_ptr<TForm1> form = std::make_unique<TForm1>(shell, dialogs);
};

TEST_F(DropTest, OnTheListFilesGiveRowsInDropOrderAndFoldersTheirReadableFiles) {
  const std::string c = tree.Write("c.txt", "abc"), a = tree.Write("a.txt", "a"), e = tree.Write("e", "");
  ASSERT_TRUE(Drop({c, a, e}, form->LvwFile));
  EXPECT_EQ(ListRows(), (Rows{{c, kMd5Abc}, {a, kMd5A}, {e, kMd5Empty}}));

  const std::string missing = tree.At("gone.txt");
  ASSERT_TRUE(Drop({missing}));
  EXPECT_EQ(ListRows().back(), (std::pair<std::string, std::string>{missing, "Could not open file"}));

  // A folder: its files and those below it, but not its check file nor
  // anything that is not a regular file; the name's case matters.
  form->LvwFileModel->RemoveRowsAt({0, 1, 2, 3});
  const std::string folder = tree.Folder("folder");
  tree.Write("folder/CheckSum.md5", "x");
#ifdef _WIN32  // names ignore case there, and there are no FIFOs
  const std::string lower = tree.Write("folder/CheckSum.md5.old", "abc");
#else
  const std::string lower = tree.Write("folder/checksum.md5", "abc");
  ASSERT_EQ(mkfifo(tree.At("folder/pipe").c_str(), 0644), 0);
#endif
  const std::string deep = tree.Write("folder/sub/deep.txt", "a");
  ASSERT_TRUE(Drop({folder}));
  Rows rows = ListRows();
  std::sort(rows.begin(), rows.end());
  EXPECT_EQ(rows, (Rows{{lower, kMd5Abc}, {deep, kMd5A}}));
  EXPECT_EQ(form->PageControl->CurrentIndex(), kList);
}

TEST_F(DropTest, ANameThatIsNotUtf8KeepsItsBytes) {
  SKIP_WITHOUT_POSIX("names that are not UTF-8 (Windows names are UTF-16)");
  const std::string latin1 = tree.Write("caf\xE9.txt", "abc");
  QMimeData data;
  data.setData("text/uri-list", QUrl::fromLocalFile(QString::fromStdString(tree.path())).toEncoded() +
                                    "/caf%E9.txt\r\n");
  ASSERT_TRUE(Drop(data));
  EXPECT_EQ(ListRows(), (Rows{{latin1, kMd5Abc}}));
}

TEST_F(DropTest, TheMakerTakesTheFirstPathOnlyWhenItIsAFolder) {
  ShowPage(kMaker);
  const std::string first = tree.Folder("first"), second = tree.Folder("second");
  const std::string file = tree.Write("first/a.txt", "a");
  form->EdtPath->setText("typed");
  form->MemoMakeResult->setPlainText("an earlier make");
  for (const auto& ignored : std::vector<std::vector<std::string>>{{file}, {file, second}, {tree.At("gone")}}) {
    ASSERT_TRUE(Drop(ignored));
    EXPECT_EQ(form->EdtPath->text(), "typed");
    EXPECT_EQ(form->MemoMakeResult->toPlainText(), "an earlier make");
  }
  ASSERT_TRUE(Drop({first, second}, form->EdtPath));
  EXPECT_EQ(form->EdtPath->text().toStdString(), first);
  EXPECT_EQ(form->MemoMakeResult->toPlainText(), kMakerPrompt) << "one prompt line, and no make started";
  EXPECT_FALSE(std::filesystem::exists(tree.At("first/CheckSum.md5")));
  EXPECT_EQ(form->PageControl->CurrentIndex(), kMaker);
}

TEST_F(DropTest, TheVerifierTakesAnMd5FileOrAFolderHoldingTheCheckFile) {
  SKIP_WITHOUT_POSIX("names that differ only in letter case (sums.md5 and SUMS.MD5)");
  ShowPage(kVerifier);
  const std::string good = tree.Write("sums.md5", "d41d8cd98f00b204e9800998ecf8427e\tnone\r\n");
  const std::string upper = tree.Write("SUMS.MD5", "");
  const std::string text = tree.Write("sums.txt", "");  // names no digest
  const std::string with = tree.Folder("with"), without = tree.Folder("without");
  const std::string inside = tree.Write("with/CheckSum.md5", "");
  tree.Write("without/checksum.md5", "");
  form->MemoVerifyResult->setPlainText("an earlier verify");
  for (const auto& ignored : std::vector<std::vector<std::string>>{{text}, {without}, {text, good}}) {
    ASSERT_TRUE(Drop(ignored));
    EXPECT_EQ(form->EdtCheckfilePath->text(), "") << ignored.front();
    EXPECT_EQ(form->MemoVerifyResult->toPlainText(), "an earlier verify");
  }
  ASSERT_TRUE(Drop({upper}));
  EXPECT_EQ(form->EdtCheckfilePath->text().toStdString(), upper) << "letter case ignored";
  ASSERT_TRUE(Drop({good, with}, form->MemoVerifyResult));
  EXPECT_EQ(form->EdtCheckfilePath->text().toStdString(), good);
  EXPECT_EQ(form->MemoVerifyResult->toPlainText(), kVerifierPrompt) << "one prompt line, and no verify started";
  ASSERT_TRUE(Drop({with}, form->EdtCheckfilePath));
  EXPECT_EQ(form->EdtCheckfilePath->text().toStdString(), inside);
  EXPECT_EQ(form->PageControl->CurrentIndex(), kVerifier);
}

TEST_F(DropTest, TheAboutPageIgnoresEverything) {
  ShowPage(kAbout);
  const std::string folder = tree.Folder("f");
  const std::string sums = tree.Write("f/CheckSum.md5", "");
  tree.Write("f/a.txt", "a");
  Drop({folder, sums, tree.At("gone")});
  EXPECT_EQ(form->LvwFileModel->Count(), 0);
  EXPECT_EQ(form->EdtPath->text(), "");
  EXPECT_EQ(form->EdtCheckfilePath->text(), "");
  EXPECT_EQ(form->MemoMakeResult->toPlainText(), kMakerPrompt);
  EXPECT_EQ(form->MemoVerifyResult->toPlainText(), kVerifierPrompt);
  EXPECT_EQ(form->PageControl->CurrentIndex(), kAbout);
}

// The desktop drops on whatever lies under the pointer: an edit box, a result
// box, a button, the tabs or the title bar. Each drop must still reach the page.
TEST_F(DropTest, ADropAnywhereOnTheWindowReachesThePage) {
  ShowPage(kMaker);
  int n = 0;
  for (QWidget* over : form->findChildren<QWidget*>()) {
    if (!over->isVisible() || over->width() < 2 || over->height() < 2) continue;
    const QPoint at = over->mapTo(form.get(), over->rect().center());
    if (form->childAt(at) && form->childAt(at) != over && !over->isAncestorOf(form->childAt(at))) continue;
    const std::string folder = tree.Folder("f" + std::to_string(++n));
    SCOPED_TRACE(std::string(over->metaObject()->className()) + " " + over->objectName().toStdString());
    EXPECT_TRUE(Drop({folder}, over));
    EXPECT_EQ(form->EdtPath->text().toStdString(), folder);
  }
  EXPECT_GT(n, 8);
}

// A check file with two records, so the run pumps between them.
std::string TwoRecordCheckFile(testing::TempTree& tree) {
  tree.Write("v/a.txt", "a");
  tree.Write("v/abc.txt", "abc");
  return tree.Write("v/CheckSum.md5", "; test\r\n\r\n" + kMd5A + "\ta.txt\r\n" + kMd5Abc + "\tabc.txt\r\n");
}

TEST_F(DropTest, DropsDuringAVerifyWaitForItsEndAndKeepTheirOrder) {
  ShowPage(kVerifier);
  SetPathText(*form->EdtCheckfilePath, TwoRecordCheckFile(tree));
  const std::string first = tree.Write("first.md5", ""), second = tree.Write("second.md5", "");
  // Drop twice as soon as the first verdict shows; note what the box holds
  // whenever a drop takes effect.
  bool dropped = false;
  std::vector<QString> box_when_handled;
  QObject::connect(form->MemoVerifyResult, &QPlainTextEdit::textChanged, form.get(), [&] {
    if (dropped || !form->MemoVerifyResult->toPlainText().startsWith("OK")) return;
    dropped = true;
    EXPECT_TRUE(Drop({first}, nullptr, false));
    EXPECT_TRUE(Drop({second}, nullptr, false));
  });
  QObject::connect(form->EdtCheckfilePath, &QLineEdit::textChanged, form.get(),
                   [&] { box_when_handled.push_back(form->MemoVerifyResult->toPlainText()); });
  QTest::mouseClick(form->BtnVerify, Qt::LeftButton);
  ASSERT_TRUE(dropped);
  QCoreApplication::processEvents();
  ASSERT_EQ(box_when_handled.size(), 2u) << "both drops handled once the run ended";
  EXPECT_TRUE(box_when_handled[0].contains("Operation completes.")) << box_when_handled[0].toStdString();
  EXPECT_EQ(form->EdtCheckfilePath->text().toStdString(), second);
  EXPECT_EQ(form->MemoVerifyResult->toPlainText(), kVerifierPrompt);
}

TEST_F(DropTest, ADropDuringAPickAddsItsRowsWhereTheListStands) {
  const std::string p1 = tree.Write("p1", "a"), p2 = tree.Write("p2", "abc"), p3 = tree.Write("p3", "");
  const std::string d1 = tree.Write("d1", "abc"), d2 = tree.At("gone");
  dialogs.open_answers.push_back({p1, p2, p3});
  bool dropped = false;
  QObject::connect(form->LvwFileModel, &QAbstractItemModel::rowsInserted, form.get(), [&] {
    if (dropped) return;
    dropped = true;
    EXPECT_TRUE(Drop({d1, d2}, nullptr, false));
  });
  QTest::mouseClick(form->BtnSelectFile, Qt::LeftButton);
  QCoreApplication::processEvents();
  EXPECT_EQ(ListRows(), (Rows{{p1, kMd5A},
                              {d1, kMd5Abc},
                              {d2, "Could not open file"},
                              {p2, kMd5Abc},
                              {p3, kMd5Empty}}));
  EXPECT_FALSE(form->Busy());
}

}  // namespace
}  // namespace quillora

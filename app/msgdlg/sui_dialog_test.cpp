#include "app/msgdlg/sui_dialog.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QPushButton>
#include <QtTest/QTest>
#include <gtest/gtest.h>

#include <memory>

#include "app/icons.h"
#include "app/skin/form.h"
#include "app/skin/skin.h"
#include "app/testing/window_testing.h"

namespace quillora {
namespace {

using testing::ModalDriver;
using testing::PressKey;

// The main window's instance as TForm1 sets it up.
std::unique_ptr<TsuiMessageDialog> ProgramDialog() {
  auto d = std::make_unique<TsuiMessageDialog>(nullptr);
  d->UIStyle = MacOS;
  d->Font = skin::ControlFont();
  d->CaptionFont = skin::DialogCaptionFont();
  return d;
}

void MakeOverwriteQuestion(TsuiMessageDialog& d) {
  d.Caption = "Overwrite";
  d.Text = "The file already exists, do you want to overwrite it?";
  d.IconType = suiWarning;
  d.ButtonCount = 2;
  d.Button1Caption = "Yes";
  d.Button1ModalResult = mrYes;
  d.Button2Caption = "NO";
  d.Button2ModalResult = mrNo;
}

void MakeErrorNotice(TsuiMessageDialog& d, const QString& text) {
  d.Caption = "Error";
  d.Text = text;
  d.IconType = suiInformation;
  d.ButtonCount = 1;
  d.Button1Caption = "OK";
  d.Button1ModalResult = mrOk;
}

QStringList Captions(const TfrmMsg& w) {
  QStringList list;
  for (const QPushButton* b : w.Buttons()) list << b->text();
  return list;
}

TEST(MessageDialogLayout, OneLineWithoutIconIsNarrowedAndSitsOnTheMinimumBottom) {
  auto d = ProgramDialog();
  d->Text = "One line.";
  std::unique_ptr<TfrmMsg> w(d->BuildWindow());
  EXPECT_EQ(w->lbl->geometry(), QRect(24, 64, 225, 13));
  EXPECT_TRUE(w->Image1->isHidden());
  EXPECT_EQ(w->size(), QSize(336 - 64, 179));
  ASSERT_EQ(w->Buttons().size(), 1u);
  EXPECT_EQ(w->Buttons()[0]->geometry(), QRect(272 - 97, 124, 73, 25));
  EXPECT_EQ(w->Buttons()[0]->text(), "OK");
  EXPECT_TRUE(w->Buttons()[0]->isDefault()) << "an OK button is the default button";
  EXPECT_EQ(w->minimumSize(), w->maximumSize()) << "fixed size";
}

TEST(MessageDialogLayout, IconKeepsTheWidthAndShowsItsTile) {
  const QImage strip = MsgDlgStrip().toImage();
  ASSERT_EQ(strip.size(), QSize(168, 42));
  for (TsuiIconType icon : {suiWarning, suiStop, suiInformation, suiHelp}) {
    auto d = ProgramDialog();
    MakeErrorNotice(*d, "x");
    d->IconType = icon;
    std::unique_ptr<TfrmMsg> w(d->BuildWindow());
    EXPECT_EQ(w->lbl->pos(), QPoint(88, 64));
    EXPECT_EQ(w->width(), 336);
    EXPECT_EQ(w->height(), 179);
    EXPECT_EQ(w->Image1->geometry(), QRect(24, 64, 42, 42));
    EXPECT_FALSE(w->Image1->isHidden());
    const QImage tile = w->Image1->pixmap().toImage().convertToFormat(strip.format());
    EXPECT_EQ(tile, strip.copy((icon - 1) * 42, 0, 42, 42)) << "tile " << icon;
  }
}

TEST(MessageDialogLayout, LongTextGrowsTheWindowBelowTheLabel) {
  auto d = ProgramDialog();
  d->IconType = suiStop;
  d->Text = QString("A long message that wraps. ").repeated(12);
  std::unique_ptr<TfrmMsg> w(d->BuildWindow());
  const QRect label = w->lbl->geometry();
  EXPECT_EQ(label.width(), 225);
  EXPECT_GT(label.height(), 4 * 13) << "wrapped to many lines";
  const int b = label.bottom() + 1;
  EXPECT_GT(b, 104);
  EXPECT_EQ(w->Buttons()[0]->y(), b + 20);
  EXPECT_EQ(w->height(), b + 75);
}

TEST(MessageDialogLayout, ButtonsAreCreatedRightToLeftWithTheirNumberedProperties) {
  for (bool icon : {false, true}) {
    auto d = ProgramDialog();
    d->IconType = icon ? suiHelp : suiNone;
    d->ButtonCount = 3;
    d->Button1Caption = "One";
    d->Button2Caption = "Two";
    d->Button3Caption = "Three";
    d->Button1ModalResult = mrYes;
    d->Button2ModalResult = mrNo;
    d->Button3ModalResult = mrCancel;
    std::unique_ptr<TfrmMsg> w(d->BuildWindow());
    EXPECT_EQ(w->width(), 336) << "three buttons never narrow the window";
    EXPECT_EQ(Captions(*w), QStringList({"Three", "Two", "One"}));
    for (int i = 0; i < 3; ++i) EXPECT_EQ(w->Buttons()[i]->geometry(), QRect(336 - 97 - 93 * i, 124, 73, 25));
  }
  auto d = ProgramDialog();
  MakeOverwriteQuestion(*d);
  d->IconType = suiNone;
  std::unique_ptr<TfrmMsg> w(d->BuildWindow());
  EXPECT_EQ(w->width(), 272) << "two buttons without an icon narrow it";
  EXPECT_EQ(Captions(*w), QStringList({"NO", "Yes"}));
  EXPECT_EQ(w->Buttons()[0]->x(), 272 - 97);
  EXPECT_EQ(w->Buttons()[1]->x(), 272 - 190);
  for (const QPushButton* b : w->Buttons()) {
    EXPECT_FALSE(b->isDefault()) << "neither Yes nor NO is the default button";
    EXPECT_EQ(b->cursor().shape(), Qt::PointingHandCursor);
  }
}

TEST(MessageDialogState, StartsWithTheComponentDefaultsAndKeepsPropertiesBetweenCalls) {
  TsuiMessageDialog d(nullptr);
  EXPECT_EQ(d.Caption, "suiDialog");
  EXPECT_EQ(d.Text, "Hello world!");
  EXPECT_EQ(d.ButtonCount, 1);
  EXPECT_EQ(d.Button1Caption, "OK");
  EXPECT_EQ(d.Button2Caption, "Cancel");
  EXPECT_EQ(d.Button3Caption, "Cancel");
  EXPECT_EQ(d.Button1ModalResult, 1);
  EXPECT_EQ(d.Button2ModalResult, 2);
  EXPECT_EQ(d.Button3ModalResult, 2);
  EXPECT_EQ(d.IconType, suiNone);
  EXPECT_EQ(d.Position, TPosition::poScreenCenter);
  EXPECT_EQ(d.UIStyle, DeepBlue) << "no themed owner";

  // A notice after the overwrite question: what it does not set stays.
  auto p = ProgramDialog();
  MakeOverwriteQuestion(*p);
  ModalDriver first([](QWidget* m) { PressKey(m, Qt::Key_Return); });
  EXPECT_EQ(p->Execute(), mrYes);
  p->Caption = "Error";
  p->Text = "x";
  p->ButtonCount = 1;
  std::unique_ptr<TfrmMsg> w(p->BuildWindow());
  EXPECT_EQ(Captions(*w), QStringList({"Yes"})) << "button 1 still carries the question's caption";
  EXPECT_FALSE(w->Image1->isHidden()) << "icon kept";
}

TEST(MessageDialogKeys, EnterOnAFreshQuestionPicksTheLeftButton) {
  auto d = ProgramDialog();
  MakeOverwriteQuestion(*d);
  ModalDriver driver([](QWidget* m) { PressKey(m, Qt::Key_Return); });
  EXPECT_EQ(d->Execute(), mrYes);
  EXPECT_TRUE(driver.Ran());
}

TEST(MessageDialogKeys, TabMovesTheFocusAndSpaceClicks) {
  auto d = ProgramDialog();
  MakeOverwriteQuestion(*d);
  ModalDriver driver([](QWidget* m) {
    PressKey(m, Qt::Key_Tab);
    PressKey(m, Qt::Key_Space);
  });
  EXPECT_EQ(d->Execute(), mrNo);
}

TEST(MessageDialogKeys, EscapeLeavesTheProgramsDialogsOpen) {
  for (bool question : {true, false}) {
    auto d = ProgramDialog();
    if (question)
      MakeOverwriteQuestion(*d);
    else
      MakeErrorNotice(*d, "The folder does not exist.");
    bool open_after_escape = false;
    ModalDriver driver([&](QWidget* m) {
      PressKey(m, Qt::Key_Escape);
      open_after_escape = m->isVisible();
      PressKey(m, Qt::Key_Return);
    });
    EXPECT_EQ(d->Execute(), question ? mrYes : mrOk);
    EXPECT_TRUE(open_after_escape) << (question ? "question" : "notice");
  }
}

TEST(MessageDialogKeys, EscapeClicksACancelButton) {
  auto d = ProgramDialog();
  d->ButtonCount = 2;  // "OK" (1) and "Cancel" (2), the component's defaults
  ModalDriver driver([](QWidget* m) { PressKey(m, Qt::Key_Escape); });
  EXPECT_EQ(d->Execute(), mrCancel);
}

TEST(MessageDialogKeys, TitleBarCloseReturnsCancel) {
  auto d = ProgramDialog();
  MakeOverwriteQuestion(*d);
  ModalDriver driver([](QWidget* m) {
    auto* frame = m->findChild<skin::TsuiForm*>();
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->MinimizeButton(), nullptr) << "only a close button";
    QTest::mouseClick(frame->CloseButton(), Qt::LeftButton);
  });
  EXPECT_EQ(d->Execute(), 2);
}

TEST(MessageDialogKeys, CtrlCCopiesTheWholeDialogAndLeavesItOpen) {
  auto d = ProgramDialog();
  MakeOverwriteQuestion(*d);
  bool still_open = false;
  ModalDriver driver([&](QWidget* m) {
    PressKey(m, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    still_open = m->isVisible();
    PressKey(m, Qt::Key_Tab);
    PressKey(m, Qt::Key_Return);
  });
  EXPECT_EQ(d->Execute(), mrNo);
  EXPECT_TRUE(still_open);
  const QString dashes = "---------------------------";
  EXPECT_EQ(QApplication::clipboard()->text(),
            dashes + "\r\nOverwrite\r\n" + dashes +
                "\r\nThe file already exists, do you want to overwrite it?\r\n" + dashes +
                "\r\nNO   Yes\r\n" + dashes);

  MakeErrorNotice(*d, "Please select or drag-and-drop a folder firstly.");
  ModalDriver notice([](QWidget* m) {
    PressKey(m, Qt::Key_C, Qt::ControlModifier);
    PressKey(m, Qt::Key_Space);
  });
  EXPECT_EQ(d->Execute(), mrOk);
  EXPECT_EQ(QApplication::clipboard()->text(),
            dashes + "\r\nError\r\n" + dashes +
                "\r\nPlease select or drag-and-drop a folder firstly.\r\n" + dashes + "\r\nOK\r\n" +
                dashes);
}

}  // namespace
}  // namespace quillora

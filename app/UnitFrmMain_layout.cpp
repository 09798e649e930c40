// TForm1's controls at their designed places: the window, its four pages and
// the message dialog. The handlers and the busy guard are in UnitFrmMain.cpp.
#include "app/UnitFrmMain.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>

#include "app/click_label.h"
#include "app/display_text.h"
#include "app/file_list_model.h"
#include "app/icons.h"
#include "app/result_box.h"
#include "app/skin/form.h"
#include "app/skin/page_control.h"
#include "app/skin/skin.h"
#include "platform/product.h"

namespace quillora {

namespace {

QWidget* NewSheet(const char* name) {
  auto* sheet = new QWidget;
  sheet->setObjectName(name);
  return sheet;
}

QLabel* NewLabel(const QString& text, QWidget* parent, QPoint at) {
  auto* label = new QLabel(text, parent);
  label->setTextFormat(Qt::PlainText);
  label->move(at);
  label->adjustSize();
  return label;
}

// Puts widgets in this order in the window's Tab chain.
void ChainTabs(std::initializer_list<QWidget*> widgets) {
  QWidget* previous = nullptr;
  for (QWidget* w : widgets) {
    if (previous) QWidget::setTabOrder(previous, w);
    previous = w;
  }
}

}  // namespace

void TForm1::BuildControls() {
  setObjectName("Form1");
  setWindowTitle(QStringLiteral("Quillora"));
  setWindowIcon(MainIcon());
  setFixedSize(kClientWidth, kClientHeight);

  suiForm1 = new skin::TsuiForm(this, skin::TsuiForm::TitleButtons::kCloseAndMinimize);
  suiForm1->setObjectName("suiForm1");
  suiForm1->SetCaption(windowTitle());

  PageControl = new skin::TsuiPageControl(this);
  PageControl->setObjectName("PageControl");
  PageControl->setGeometry(8, 32, 489, 265);

  SheetFileMD5 = NewSheet("SheetFileMD5");
  SheetMaker = NewSheet("SheetMaker");
  SheetVerifier = NewSheet("SheetVerifier");
  SheetAbout = NewSheet("SheetAbout");
  PageControl->AddPage(SheetFileMD5, QStringLiteral("Calculate file MD5"));
  PageControl->AddPage(SheetMaker, QStringLiteral("Make check file"));
  PageControl->AddPage(SheetVerifier, QStringLiteral("Verify check file"));
  PageControl->AddPage(SheetAbout, QStringLiteral("About"));

  BuildFileMD5Page();
  BuildMakerPage();
  BuildVerifierPage();
  BuildAboutPage();

  BtnHelp = NewButton(QStringLiteral("Help"), this, QRect(320, 304, 80, 27));
  BtnHelp->setObjectName("BtnHelp");
  BtnExit = NewButton(QStringLiteral("Exit"), this, QRect(416, 304, 80, 27));
  BtnExit->setObjectName("BtnExit");

  ChainTabs({PageControl->TabBar(), BtnSelectFile, BtnSave, LvwFile, BtnClear, BtnSelect, BtnMake,
             ChkSubFolder, MemoMakeResult, EdtPath, BtnSelectCheckfile, BtnVerify,
             MemoVerifyResult, EdtCheckfilePath, BtnHelp, BtnExit});

  suiDlg = std::make_unique<TsuiMessageDialog>(this);
  suiDlg->Position = TPosition::poScreenCenter;
  suiDlg->UIStyle = MacOS;
  suiDlg->Font = skin::ControlFont();
  suiDlg->CaptionFont = skin::DialogCaptionFont();
  suiDlg->ButtonCursor = Qt::PointingHandCursor;
}

QPushButton* TForm1::NewButton(const QString& caption, QWidget* parent, QRect geometry) {
  auto* button = new QPushButton(caption, parent);
  button->setGeometry(geometry);
  button->setAutoDefault(false);
  button->setFocusPolicy(Qt::StrongFocus);
  return button;
}

void TForm1::BuildFileMD5Page() {
  LvwFileModel = new FileListModel(this);
  LvwFile = new QTableView(SheetFileMD5);
  LvwFile->setObjectName("LvwFile");
  LvwFile->setModel(LvwFileModel);
  LvwFile->setGeometry(8, 8, 465, 177);
  skin::SetInnerMargin(*LvwFile, 2);
  LvwFile->setShowGrid(true);
  LvwFile->setGridStyle(Qt::SolidLine);
  LvwFile->setSelectionBehavior(QAbstractItemView::SelectRows);
  LvwFile->setSelectionMode(QAbstractItemView::ExtendedSelection);
  LvwFile->setEditTriggers(QAbstractItemView::NoEditTriggers);
  LvwFile->setWordWrap(false);
  LvwFile->setTabKeyNavigation(false);  // Tab leaves the list, as in any list box
  LvwFile->setCornerButtonEnabled(false);
  LvwFile->setSortingEnabled(false);
  QHeaderView* rows = LvwFile->verticalHeader();
  rows->hide();
  // Fixed row heights keep a list of a hundred thousand rows fast.
  rows->setSectionResizeMode(QHeaderView::Fixed);
  rows->setDefaultSectionSize(LvwFile->fontMetrics().height() + 4);
  QHeaderView* columns = LvwFile->horizontalHeader();
  columns->setSectionResizeMode(QHeaderView::Interactive);
  columns->setStretchLastSection(false);
  columns->setHighlightSections(false);
  columns->setSectionsClickable(false);
  columns->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  columns->resizeSection(0, 210);
  columns->resizeSection(1, 255);

  BtnSelectFile = NewButton(QStringLiteral("Select Files to calculate MD5"), SheetFileMD5,
                            QRect(80, 192, 184, 27));
  BtnSelectFile->setObjectName("BtnSelectFile");
  BtnClear = NewButton(QStringLiteral("Delete"), SheetFileMD5, QRect(280, 192, 89, 27));
  BtnClear->setObjectName("BtnClear");
  BtnSave = NewButton(QStringLiteral("Save"), SheetFileMD5, QRect(384, 192, 89, 27));
  BtnSave->setObjectName("BtnSave");
}

void TForm1::BuildMakerPage() {
  Label1 = NewLabel(QStringLiteral("Folder : "), SheetMaker, QPoint(14, 12));
  Label1->setObjectName("Label1");
  EdtPath = new QLineEdit(SheetMaker);
  EdtPath->setObjectName("EdtPath");
  EdtPath->setGeometry(56, 9, 369, 17);
  BtnSelect = NewButton(QStringLiteral("..."), SheetMaker, QRect(432, 8, 41, 19));
  BtnSelect->setObjectName("BtnSelect");
  BtnMake = NewButton(QStringLiteral("Make check file"), SheetMaker, QRect(8, 32, 97, 27));
  BtnMake->setObjectName("BtnMake");
  ChkSubFolder = new QCheckBox(QStringLiteral("Include sub folders"), SheetMaker);
  ChkSubFolder->setObjectName("ChkSubFolder");
  ChkSubFolder->setGeometry(272, 32, 112, 21);
  ChkSubFolder->setChecked(true);
  MemoMakeResult = NewResultBox(SheetMaker);
  MemoMakeResult->setObjectName("MemoMakeResult");
  MemoMakeResult->setGeometry(8, 64, 465, 153);
}

void TForm1::BuildVerifierPage() {
  Label2 = NewLabel(QStringLiteral("Check file : "), SheetVerifier, QPoint(8, 12));
  Label2->setObjectName("Label2");
  EdtCheckfilePath = new QLineEdit(SheetVerifier);
  EdtCheckfilePath->setObjectName("EdtCheckfilePath");
  EdtCheckfilePath->setGeometry(72, 9, 337, 17);
  BtnSelectCheckfile = NewButton(QStringLiteral("..."), SheetVerifier, QRect(416, 8, 41, 19));
  BtnSelectCheckfile->setObjectName("BtnSelectCheckfile");
  BtnVerify = NewButton(QStringLiteral("Verify check file"), SheetVerifier, QRect(8, 32, 97, 27));
  BtnVerify->setObjectName("BtnVerify");
  MemoVerifyResult = NewResultBox(SheetVerifier);
  MemoVerifyResult->setObjectName("MemoVerifyResult");
  MemoVerifyResult->setGeometry(8, 64, 465, 153);
}

void TForm1::BuildAboutPage() {
  Label6 = NewLabel(QStringLiteral(QUILLORA_VERSION_TEXT), SheetAbout, QPoint(160, 16));
  Label6->setObjectName("Label6");
  LblWebsite = new TClickLabel(QStringLiteral("Website: ") + DisplayText(kWebPageAddress), SheetAbout);
  LblWebsite->setObjectName("LblWebsite");
  LblWebsite->move(112, 180);
  LblWebsite->adjustSize();
  LblEmail = new TClickLabel(QStringLiteral("Support Email: ") + DisplayText(kSupportEmail), SheetAbout);
  LblEmail->setObjectName("LblEmail");
  LblEmail->move(128, 201);
  LblEmail->adjustSize();
}

}  // namespace quillora

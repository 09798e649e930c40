#include "app/UnitFrmMain.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTabBar>
#include <QTableView>

#include <algorithm>
#include <optional>
#include <utility>

#include "app/click_label.h"
#include "app/drop_intake.h"
#include "app/error_report.h"
#include "app/file_list_model.h"
#include "app/icons.h"
#include "app/path_box.h"
#include "app/result_box.h"
#include "app/shell.h"
#include "app/skin/form.h"
#include "app/skin/page_control.h"
#include "app/skin/skin.h"
#include "app/window_sinks.h"
#include "checkfile/maker.h"
#include "checkfile/verifier.h"
#include "filelist/list_jobs.h"
#include "filelist/saved_list.h"
#include "md5/digest_ahead.h"
#include "platform/env.h"
#include "platform/product.h"

namespace quillora {

namespace {

// The prompts of the maker and verifier pages' result boxes.
constexpr std::string_view kMakerPrompt =
    "Please select or drag-and-drop a folder to make MD5 checksum, then click \"Make check file\" button.";
constexpr std::string_view kVerifierPrompt =
    "Please select or drag-and-drop a check file, then click \"Verify check file\" to verify files integrity.";

QString Text(std::string_view s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

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

TForm1::TForm1(Shell& shell, FileDialogs& dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      dlg(dialogs, false),
      dlg2(dialogs, true),
      dlgSave(dialogs),
      shell_(&shell),
      dialogs_(&dialogs) {
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

  dlgSave.Title = "Save MD5 Checksum";

  ConnectHandlers();
  PageControl->SetCurrentIndex(0);

  if (QScreen* s = screen()) {
    QRect r = frameGeometry();
    r.moveCenter(s->geometry().center());
    move(r.topLeft());
  }

  RunHandler([this] { FormCreate(); });
}

TForm1::~TForm1() = default;

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
  LblWebsite = new TClickLabel(QStringLiteral("Website: ") + Text(kWebPageAddress), SheetAbout);
  LblWebsite->setObjectName("LblWebsite");
  LblWebsite->move(112, 180);
  LblWebsite->adjustSize();
  LblEmail = new TClickLabel(QStringLiteral("Support Email: ") + Text(kSupportEmail), SheetAbout);
  LblEmail->setObjectName("LblEmail");
  LblEmail->move(128, 201);
  LblEmail->adjustSize();
}

void TForm1::ConnectHandlers() {
  const auto handler = [this](QPushButton* button, void (TForm1::*method)()) {
    connect(button, &QPushButton::clicked, this, [this, method] { RunHandler([this, method] { (this->*method)(); }); });
  };
  const auto job = [this](QPushButton* button, void (TForm1::*method)()) {
    connect(button, &QPushButton::clicked, this, [this, method] { RunJob([this, method] { (this->*method)(); }); });
  };
  handler(BtnHelp, &TForm1::BtnHelpClick);
  handler(BtnExit, &TForm1::BtnExitClick);
  connect(LblWebsite, &TClickLabel::Clicked, this, [this] { RunHandler([this] { LblWebsiteClick(); }); });
  connect(LblEmail, &TClickLabel::Clicked, this, [this] { RunHandler([this] { LblEmailClick(); }); });
  job(BtnSelectFile, &TForm1::BtnSelectFileClick);
  job(BtnClear, &TForm1::BtnClearClick);
  job(BtnSave, &TForm1::BtnSaveClick);
  job(BtnSelect, &TForm1::BtnSelectClick);
  job(BtnMake, &TForm1::BtnMakeClick);
  job(BtnSelectCheckfile, &TForm1::BtnSelectCheckfileClick);
  job(BtnVerify, &TForm1::BtnVerifyClick);
}

// --- Running handlers ---------------------------------------------------------

void TForm1::RunHandler(const std::function<void()>& body) { RunReportingErrors(this, body); }

bool TForm1::RunJob(const std::function<void()>& body) {
  if (Busy()) return false;
  RunNestedJob(body);
  return true;
}

void TForm1::RunNestedJob(const std::function<void()>& body) {
  ++busy_depth_;
  RunReportingErrors(this, body);
  --busy_depth_;
  if (busy_depth_ == 0 && close_pending_) {
    close_pending_ = false;
    close();
  }
}

void TForm1::Pump() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void TForm1::PumpRepaintOnly() { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); }

void TForm1::closeEvent(QCloseEvent* event) {
  if (Busy()) {
    // The job below us on the stack still uses the window: close when it returns.
    close_pending_ = true;
    event->ignore();
    return;
  }
  event->accept();
}

void TForm1::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent* event) {
  std::vector<std::string> paths = DroppedPaths(*event->mimeData());
  event->acceptProposedAction();
  if (paths.empty()) return;
  QueueDrop(std::move(paths));
}

// --- Window handlers ------------------------------------------------------------

void TForm1::FormCreate() {
  MemoMakeResult->setPlainText(Text(kMakerPrompt));
  MemoVerifyResult->setPlainText(Text(kVerifierPrompt));
  // The whole window is one drop target. Qt gives a drop to the innermost
  // widget that accepts drops, and the edit boxes would take a file's URL as
  // typed text (or refuse it): let every drop fall through to the window.
  for (QWidget* child : findChildren<QWidget*>()) child->setAcceptDrops(false);
  setAcceptDrops(true);
}

void TForm1::BtnHelpClick() { shell_->Open("open", HelpFilePath(ExecutableFolder())); }

void TForm1::BtnExitClick() { close(); }

void TForm1::LblWebsiteClick() { shell_->Open("open", std::string(kWebPageAddress)); }

void TForm1::LblEmailClick() { shell_->Open("", "mailto:" + std::string(kSupportEmail)); }

// --- Page handlers ----------------------------------------------------------------

namespace {

// Digest threads for the window's jobs: one per core, and never none, so
// the window keeps processing its messages while a large file is digested,
// also on a machine with one core.
unsigned WindowJobs() { return std::max(2u, DigestAhead::DefaultJobs()); }

// A result box that shows only a page's prompt again.
void ShowPrompt(QPlainTextEdit& box, std::string_view prompt) {
  ClearBox(box);
  AppendLine(box, prompt);
}

}  // namespace

void TForm1::ShowInputError(std::string_view text) {
  suiDlg->Caption = QStringLiteral("Error");
  suiDlg->Text = Text(text);
  suiDlg->IconType = suiInformation;
  suiDlg->ButtonCount = 1;
  suiDlg->Button1Caption = QStringLiteral("OK");
  suiDlg->Button1ModalResult = mrOk;  // the overwrite question may have left 6 there
  suiDlg->Execute();
}

void TForm1::BtnSelectFileClick() {
  dlg2.Title = "Choose files to calculate MD5 checksum:";
  dlg2.Filter = "All file(*.*)|*.*";
  if (!dlg2.Execute()) return;
  ListModelSink sink(*LvwFileModel, &TForm1::Pump);
  AddPickedFiles(Env::Default(), dlg2.Files, sink, WindowJobs());
}

void TForm1::BtnClearClick() {
  if (LvwFileModel->Count() == 0) return;
  // The selection's ranges, not selectedRows(): that one takes seconds for
  // thousands of scattered rows. Whole rows are selected, so a range's rows
  // are selected rows.
  std::vector<int> rows;
  for (const QItemSelectionRange& range : LvwFile->selectionModel()->selection())
    for (int row = range.top(); row <= range.bottom(); ++row) rows.push_back(row);
  if (rows.empty()) {
    ShowInputError("Please select the items you want to delete at first.");
    return;
  }
  LvwFileModel->RemoveRowsAt(std::move(rows));
}

void TForm1::BtnSaveClick() {
  if (LvwFileModel->Count() == 0) return;
  dlgSave.Title = "Save MD5 Checksum";
  dlgSave.Filter = "Text file (*.txt)|*.txt|All files (*.*)|*.*";
  dlgSave.DefaultExt = ".txt";
  if (!dlgSave.Execute()) return;
  const std::string path = dlgSave.FileName;
  if (Env::Default().FileExists(path)) {
    suiDlg->Caption = QStringLiteral("Overwrite");
    suiDlg->Text = QStringLiteral("The file already exists, do you want to overwrite it?");
    suiDlg->IconType = suiWarning;
    suiDlg->ButtonCount = 2;
    suiDlg->Button1Caption = QStringLiteral("Yes");
    suiDlg->Button1ModalResult = mrYes;
    suiDlg->Button2Caption = QStringLiteral("NO");
    suiDlg->Button2ModalResult = mrNo;
    // Only "Yes" replaces the file; "NO" and a close from the title bar keep it.
    if (suiDlg->Execute() != mrYes) return;
  }
  std::vector<ListRow> rows;
  rows.reserve(static_cast<std::size_t>(LvwFileModel->Count()));
  for (const FileListModel::Row& row : LvwFileModel->Rows()) rows.push_back(ListRow{row.path, row.digest});
  SaveList(Env::Default(), path, rows);
}

void TForm1::BtnSelectClick() {
  const std::optional<std::string> folder = Dialogs().ChooseFolder("Please select the folder to make checkfile.");
  if (!folder) return;
  SetPathText(*EdtPath, *folder);
  ShowPrompt(*MemoMakeResult, kMakerPrompt);
}

void TForm1::BtnMakeClick() {
  Env& env = Env::Default();
  const std::string folder = PathText(*EdtPath);
  if (const MakeInput input = CheckMakeInput(env, folder); input != MakeInput::kReady) {
    ShowInputError(MakeInputMessage(input));
    return;
  }
  ClearBox(*MemoMakeResult);
  ResultBoxSink sink(*MemoMakeResult, &TForm1::Pump);
  MakeCheckFile(env, folder, ChkSubFolder->isChecked(), sink, WindowJobs());
}

void TForm1::BtnSelectCheckfileClick() {
  dlg.Title = "Select checkfile";
  dlg.Filter = "Checkfile (*.md5)|*.md5|All files (*.*)|*.*";
  if (!dlg.Execute()) return;
  SetPathText(*EdtCheckfilePath, dlg.FileName);
  ShowPrompt(*MemoVerifyResult, kVerifierPrompt);
}

void TForm1::BtnVerifyClick() {
  Env& env = Env::Default();
  const std::string check_file = PathText(*EdtCheckfilePath);
  if (const VerifyInput input = CheckVerifyInput(env, check_file); input != VerifyInput::kReady) {
    ShowInputError(VerifyInputMessage(input));
    return;
  }
  ClearBox(*MemoVerifyResult);
  // The window repaints as lines come but takes no input until the run ends;
  // drops made meanwhile wait for it too.
  verifying_ = true;
  struct Done {
    TForm1* form;
    ~Done() { form->ReleaseHeldDrops(); }
  } done{this};
  ResultBoxSink sink(*MemoVerifyResult, &TForm1::PumpRepaintOnly);
  VerifyCheckFile(env, check_file, sink, WindowJobs());
}

void TForm1::FormDropFiles(const std::vector<std::string>& paths) {
  Env& env = Env::Default();
  QWidget* page = PageControl->CurrentPage();
  if (page == SheetFileMD5) {
    ListModelSink sink(*LvwFileModel, &TForm1::Pump);
    AddDroppedPaths(env, paths, sink, WindowJobs());
  } else if (page == SheetMaker && !paths.empty()) {
    if (!env.FolderExists(paths.front())) return;
    SetPathText(*EdtPath, paths.front());
    ShowPrompt(*MemoMakeResult, kMakerPrompt);
    Pump();
  } else if (page == SheetVerifier && !paths.empty()) {
    const std::string check_file = CheckFileNamedBy(env, paths.front());
    if (check_file.empty()) return;
    SetPathText(*EdtCheckfilePath, check_file);
    ShowPrompt(*MemoVerifyResult, kVerifierPrompt);
    Pump();
  }
}

void TForm1::ReleaseHeldDrops() {
  verifying_ = false;
  for (std::vector<std::string>& paths : std::exchange(held_drops_, {})) QueueDrop(std::move(paths));
}

void TForm1::QueueDrop(std::vector<std::string> paths) {
  // Handled after the desktop's drop protocol has finished, on this thread.
  QMetaObject::invokeMethod(
      this,
      [this, paths = std::move(paths)] {
        if (verifying_) {
          held_drops_.push_back(paths);
          return;
        }
        RunNestedJob([this, &paths] { FormDropFiles(paths); });
      },
      Qt::QueuedConnection);
}

}  // namespace quillora

#include "app/UnitFrmMain.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QTableView>

#include <optional>
#include <utility>

#include "app/click_label.h"
#include "app/display_text.h"
#include "app/drop_intake.h"
#include "app/error_report.h"
#include "app/file_list_model.h"
#include "app/path_box.h"
#include "app/result_box.h"
#include "app/shell.h"
#include "app/skin/page_control.h"
#include "app/window_sinks.h"
#include "checkfile/maker.h"
#include "checkfile/named_check_file.h"
#include "checkfile/verifier.h"
#include "filelist/list_jobs.h"
#include "filelist/saved_list.h"
#include "digests/job_threads.h"
#include "platform/env.h"
#include "platform/product.h"

namespace quillora {

namespace {

// The prompts of the maker and verifier pages' result boxes.
constexpr std::string_view kMakerPrompt =
    "Please select or drag-and-drop a folder to make MD5 checksum, then click \"Make check file\" button.";
constexpr std::string_view kVerifierPrompt =
    "Please select or drag-and-drop a check file, then click \"Verify check file\" to verify files integrity.";

}  // namespace

TForm1::TForm1(Shell& shell, FileDialogs& dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      dlg(dialogs, false),
      dlg2(dialogs, true),
      dlgSave(dialogs),
      shell_(&shell),
      dialogs_(&dialogs) {
  BuildControls();
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

void TForm1::ConnectHandlers() {
  const auto handler = [this](QPushButton* button, void (TForm1::*method)()) {
    connect(button, &QPushButton::clicked, this, [this, method] { RunHandler([this, method] { (this->*method)(); }); });
  };
  const auto job = [this](QPushButton* button, void (TForm1::*method)()) {
    connect(button, &QPushButton::clicked, this, [this, method] { RunJob([this, method] { (this->*method)(); }); });
  };
  handler(BtnHelp, &TForm1::BtnHelpClick);
  // F1 asks for help anywhere in the window, whatever page is shown.
  auto* help_key = new QShortcut(QKeySequence::HelpContents, this);
  connect(help_key, &QShortcut::activated, this, [this] { RunHandler([this] { BtnHelpClick(); }); });
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
  QueueDrop({nullptr, std::move(paths)});
}

void TForm1::DropOnPage(QWidget* page, std::vector<std::string> paths) { QueueDrop({page, std::move(paths)}); }

// --- Window handlers ------------------------------------------------------------

void TForm1::FormCreate() {
  MemoMakeResult->setPlainText(DisplayText(kMakerPrompt));
  MemoVerifyResult->setPlainText(DisplayText(kVerifierPrompt));
  // The whole window is one drop target. Qt gives a drop to the innermost
  // widget that accepts drops, and the edit boxes would take a file's URL as
  // typed text (or refuse it): let every drop fall through to the window.
  for (QWidget* child : findChildren<QWidget*>()) child->setAcceptDrops(false);
  setAcceptDrops(true);
}

void TForm1::BtnHelpClick() {
  const std::string help = HelpFilePath(ExecutableFolder());
  // The answer may come after the window is gone (the opener is a process of
  // its own): then there is no one left to tell.
  QPointer<TForm1> self(this);
  shell_->Open("open", help, [self, help](OpenOutcome outcome) {
    if (!self || outcome == OpenOutcome::kOpened) return;
    self->RunHandler([&] { self->ShowInputError(HelpFailureMessage(outcome, help)); });
  });
}

void TForm1::BtnExitClick() { close(); }

void TForm1::LblWebsiteClick() { shell_->Open("open", std::string(kWebPageAddress)); }

void TForm1::LblEmailClick() { shell_->Open("", "mailto:" + std::string(kSupportEmail)); }

// --- Page handlers ----------------------------------------------------------------

namespace {

// A result box that shows only a page's prompt again.
void ShowPrompt(QPlainTextEdit& box, std::string_view prompt) {
  ClearBox(box);
  AppendLine(box, prompt);
}

}  // namespace

void TForm1::ShowInputError(std::string_view text) {
  suiDlg->Caption = QStringLiteral("Error");
  suiDlg->Text = DisplayText(text);
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
  AddPickedFiles(Env::Default(), dlg2.Files, sink, WindowJobThreads());
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
  // A file that cannot even be looked at is asked about too: only "Yes" may
  // replace it, and the save says why it cannot.
  if (FileMayExist(Env::Default(), path)) {
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
  MakeCheckFile(env, folder, ChkSubFolder->isChecked(), sink, WindowJobThreads());
}

void TForm1::BtnSelectCheckfileClick() {
  dlg.Title = "Select checkfile";
  // Our own check files first, as always; then every other the verifier reads.
  dlg.Filter = "Checkfile (*.md5)|*.md5|All check files|" + CheckFilePatterns() + "|All files (*.*)|*.*";
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
  VerifyCheckFile(env, check_file, sink, WindowJobThreads());
}

void TForm1::FormDropFiles(const std::vector<std::string>& paths) {
  Env& env = Env::Default();
  QWidget* page = PageControl->CurrentPage();
  if (page == SheetFileMD5) {
    ListModelSink sink(*LvwFileModel, &TForm1::Pump);
    AddDroppedPaths(env, paths, sink, WindowJobThreads());
  } else if (page == SheetMaker && !paths.empty()) {
    if (!FolderToUse(env, paths.front())) return;
    SetPathText(*EdtPath, paths.front());
    ShowPrompt(*MemoMakeResult, kMakerPrompt);
    Pump();
  } else if (page == SheetVerifier && !paths.empty()) {
    const std::optional<std::string> check_file = CheckFileNamedBy(env, paths.front());
    if (!check_file) return;
    SetPathText(*EdtCheckfilePath, *check_file);
    ShowPrompt(*MemoVerifyResult, kVerifierPrompt);
    Pump();
  }
}

void TForm1::ReleaseHeldDrops() {
  verifying_ = false;
  for (HeldDrop& drop : std::exchange(held_drops_, {})) QueueDrop(std::move(drop));
}

void TForm1::QueueDrop(HeldDrop drop) {
  // Handled after the desktop's drop protocol has finished, on this thread.
  QMetaObject::invokeMethod(
      this,
      [this, drop = std::move(drop)] {
        if (verifying_) {
          held_drops_.push_back(drop);
          return;
        }
        if (drop.page) PageControl->SetCurrentIndex(PageControl->IndexOf(drop.page));
        RunNestedJob([this, &drop] { FormDropFiles(drop.paths); });
      },
      Qt::QueuedConnection);
}

}  // namespace quillora

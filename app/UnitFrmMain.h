// The main window. TForm1 builds the four pages with every control at its
// designed place, owns the message dialog and the file dialogs, and routes
// every user action to a handler. Handlers stay short: the work is in the
// core; failures reach the general error report.
//
// Running handlers. Every handler runs inside one guard that shows an
// escaping error in the general error report. The page handlers also run
// inside the busy guard: while a job runs (one that pumps messages, so the
// user can still click), a second job start is ignored, and a close request
// is remembered and carried out when the job returns. Drops are handled as
// they arrive, also in the middle of a job.
#pragma once

#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/file_dialogs.h"
#include "app/msgdlg/sui_dialog.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTableView;

namespace quillora {

class FileListModel;
class Shell;
class TClickLabel;
namespace skin {
class TsuiForm;
class TsuiPageControl;
}  // namespace skin

class TForm1 : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kClientWidth = 507;
  static constexpr int kClientHeight = 339;

  // shell and dialogs must outlive the window. Runs FormCreate.
  TForm1(Shell& shell, FileDialogs& dialogs, QWidget* parent = nullptr);
  ~TForm1() override;

  // Controls and components, owned by the window, alive as long as it is.
  skin::TsuiForm* suiForm1;
  skin::TsuiPageControl* PageControl;
  QWidget* SheetMaker;
  QWidget* SheetVerifier;
  QLabel* Label1;
  QLineEdit* EdtPath;
  QPushButton* BtnSelect;
  QPlainTextEdit* MemoMakeResult;
  QCheckBox* ChkSubFolder;
  QPushButton* BtnMake;
  QLabel* Label2;
  QLineEdit* EdtCheckfilePath;
  QPushButton* BtnSelectCheckfile;
  QPushButton* BtnVerify;
  QPlainTextEdit* MemoVerifyResult;
  QWidget* SheetAbout;
  QPushButton* BtnHelp;
  QPushButton* BtnExit;
  TOpenDialog dlg;  // one file
  QLabel* Label6;
  TClickLabel* LblWebsite;
  TClickLabel* LblEmail;
  QWidget* SheetFileMD5;
  QTableView* LvwFile;
  FileListModel* LvwFileModel;  // the rows LvwFile shows
  QPushButton* BtnSelectFile;
  TOpenDialog dlg2;  // several files
  TSaveDialog dlgSave;
  QPushButton* BtnSave;
  QPushButton* BtnClear;
  std::unique_ptr<TsuiMessageDialog> suiDlg;

  // Handlers. Connected to their controls through the guards above; call
  // them directly only from inside a guard.
  void BtnSelectClick();
  void BtnExitClick();
  void FormCreate();
  void BtnSelectCheckfileClick();
  void BtnMakeClick();
  void BtnVerifyClick();
  void BtnHelpClick();
  void LblWebsiteClick();
  void LblEmailClick();
  void BtnSelectFileClick();
  void BtnSaveClick();
  void BtnClearClick();
  // The dropped paths, in the order the desktop gave them, as exact bytes.
  void FormDropFiles(const std::vector<std::string>& paths);

  // Drops paths on page, shown first, as a drop from the desktop is handled:
  // once the current event is over, and while a verify runs, after it ends.
  // For paths handed over from outside (app/launch_paths.h).
  void DropOnPage(QWidget* page, std::vector<std::string> paths);

  // The folder browser of the maker page (the same seam as the file dialogs).
  FileDialogs& Dialogs() { return *dialogs_; }
  Shell& DesktopShell() { return *shell_; }

  // --- Running handlers -----------------------------------------------------

  // Runs body; an escaping error goes to the general error report.
  void RunHandler(const std::function<void()>& body);

  // Runs body as a job inside the busy guard and the handler guard. Returns
  // false (and does nothing) when another job is running. Once the outermost
  // job returns, a close requested meanwhile is carried out.
  bool RunJob(const std::function<void()>& body);

  // Like RunJob, but runs even while a job is running (a drop is handled as
  // it arrives); other job starts are still ignored until it returns.
  void RunNestedJob(const std::function<void()>& body);

  // True while a job runs.
  bool Busy() const { return busy_depth_ > 0; }
  // True when a close was requested during a job and waits for it to end.
  bool ClosePending() const { return close_pending_; }

  // Lets the window process all pending messages (repaint, input, drops).
  // Jobs call it between files.
  static void Pump();
  // Lets the window repaint without taking input: user input stays queued
  // until the job returns.
  static void PumpRepaintOnly();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  // Builds every control at its designed place (UnitFrmMain_layout.cpp).
  void BuildControls();
  void BuildFileMD5Page();
  void BuildMakerPage();
  void BuildVerifierPage();
  void BuildAboutPage();
  void ConnectHandlers();
  QPushButton* NewButton(const QString& caption, QWidget* parent, QRect geometry);
  // The "Error" notice of the pages' input checks, through suiDlg.
  void ShowInputError(std::string_view text);
  // A drop waiting for its turn: the page it is meant for (none: the page
  // showing then) and its paths.
  struct HeldDrop {
    QWidget* page;
    std::vector<std::string> paths;
  };
  // Hands dropped paths to FormDropFiles once the drop protocol is over;
  // while a verify runs they wait, in order, until it ends.
  void QueueDrop(HeldDrop drop);
  void ReleaseHeldDrops();

  Shell* shell_;
  FileDialogs* dialogs_;
  int busy_depth_ = 0;
  bool close_pending_ = false;
  bool verifying_ = false;
  std::vector<HeldDrop> held_drops_;
};

}  // namespace quillora

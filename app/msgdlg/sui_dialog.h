// The message dialog through which every input error and question reaches the
// user. A call site sets the properties it needs on the window's one shared
// instance (`suiDlg`) and calls Execute(); properties it does not set keep
// what the previous call left. Each Execute() builds a fresh TfrmMsg, lays it
// out from the properties, runs it modally and destroys it.
#pragma once

#include <QDialog>
#include <QFont>
#include <QString>
#include <cstdint>
#include <vector>

class QLabel;
class QPushButton;

namespace quillora::skin {
class TsuiForm;
}

namespace quillora {

// The value a dialog returns: the result of the button that closed it.
using TModalResult = std::int32_t;
inline constexpr TModalResult mrNone = 0;  // still open; never a button's result
inline constexpr TModalResult mrOk = 1;
inline constexpr TModalResult mrCancel = 2;  // also a close from the title bar
inline constexpr TModalResult mrYes = 6;
inline constexpr TModalResult mrNo = 7;

enum TsuiIconType : std::uint8_t { suiNone, suiWarning, suiStop, suiInformation, suiHelp };

enum TsuiUIStyle : std::uint8_t { FromThemeFile, MacOS, WinXP, DeepBlue, Protein, BlueGlass };

enum class TPosition : std::uint8_t {
  poDesigned,
  poDefault,
  poDefaultPosOnly,
  poDefaultSizeOnly,
  poScreenCenter,
  poDesktopCenter,
  poMainFormCenter,
  poOwnerFormCenter,
};

// The dialog window. Built and laid out by TsuiMessageDialog::Execute().
class TfrmMsg : public QDialog {
  Q_OBJECT
 public:
  // Designed client size, before the layout rules apply.
  static constexpr int kDesignedWidth = 336;
  static constexpr int kDesignedHeight = 140;

  explicit TfrmMsg(QWidget* parent);

  skin::TsuiForm* suiForm;
  QLabel* lbl;
  QLabel* Image1;

  // Adds a button (the layout places it); the first added is the rightmost.
  // Result 2 makes it the cancel button, result 1 the default button.
  QPushButton* AddButton(const QString& caption, TModalResult result, Qt::CursorShape cursor,
                         QRect geometry);
  // The buttons in the order they were created: right to left on screen.
  const std::vector<QPushButton*>& Buttons() const { return buttons_; }

  // What Ctrl+C puts on the clipboard: title, message and button captions
  // between lines of 27 hyphens, CR LF after every line but the last.
  QString ClipboardText() const;

  // Title bar close and the system's close key: the result is 2 (Cancel).
  void reject() override;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  bool HandleKey(QKeyEvent* event);  // true when the dialog consumed it

  std::vector<QPushButton*> buttons_;
  QPushButton* cancel_ = nullptr;
  bool widened_ = false;
};

// A component without a window of its own; the base of TsuiMessageDialog.
class TsuiDialog {
 public:
  // owner is the window whose themed frame the dialog's style follows.
  explicit TsuiDialog(QWidget* owner);
  virtual ~TsuiDialog() = default;

  TPosition Position = TPosition::poScreenCenter;
  QString Caption = "suiDialog";
  Qt::CursorShape ButtonCursor = Qt::PointingHandCursor;
  TsuiUIStyle UIStyle;
  // External themes are not supported: always none, and every style is drawn
  // with the program's one skin.
  const void* FileTheme = nullptr;
  QFont Font;
  QFont CaptionFont;

  // Shows the dialog modally; the result of the button that closed it, or 2
  // when it was closed from its title bar or with the system's close key.
  virtual TModalResult Execute() = 0;

 protected:
  QWidget* owner_;
};

class TsuiMessageDialog : public TsuiDialog {
 public:
  explicit TsuiMessageDialog(QWidget* owner);

  // 1 to 3; Execute() treats a value outside that range as the nearest end.
  std::uint8_t ButtonCount = 1;
  QString Button1Caption = "OK";
  QString Button2Caption = "Cancel";
  QString Button3Caption = "Cancel";
  TModalResult Button1ModalResult = mrOk;
  TModalResult Button2ModalResult = mrCancel;
  TModalResult Button3ModalResult = mrCancel;
  TsuiIconType IconType = suiNone;
  QString Text = "Hello world!";

  TModalResult Execute() override;

  // Builds and lays out the dialog window exactly as Execute() shows it,
  // without showing it. The caller owns the window.
  TfrmMsg* BuildWindow() const;
};

}  // namespace quillora

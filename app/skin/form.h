// The themed frame of a frameless window (`suiForm1` of the main window, the
// frame of the message dialog): it fills its window, paints the background and
// the 1-pixel border, and draws a "MacOS" title bar with its own buttons.
// Dragging the title bar moves the window.
#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QFont>
#include <QPoint>
#include <QWidget>

namespace quillora::skin {

// One round title-bar button ("traffic light").
class TitleButton : public QAbstractButton {
  Q_OBJECT
 public:
  TitleButton(const QColor& colour, const QString& name, QWidget* parent);
  QSize sizeHint() const override { return {13, 13}; }

 protected:
  void paintEvent(QPaintEvent*) override;
  void enterEvent(QEnterEvent*) override;
  void leaveEvent(QEvent*) override;

 private:
  QColor colour_;
  bool hovered_ = false;
};

class TsuiForm : public QWidget {
  Q_OBJECT
 public:
  enum class TitleButtons { kCloseAndMinimize, kCloseOnly };

  // Height of the title bar, the window's top border included.
  static constexpr int kTitleBarHeight = 23;

  // Fills window (and follows its size). The close button calls the
  // window's close(), so a window decides in its closeEvent what a close
  // means; the minimise button minimises it.
  TsuiForm(QWidget* window, TitleButtons buttons);

  void SetCaption(const QString& caption);
  QString Caption() const { return caption_; }
  void SetCaptionFont(const QFont& font);
  QFont CaptionFont() const { return caption_font_; }
  void SetBackground(const QColor& colour);
  void SetBorderColour(const QColor& colour);

  // The frame's border thickness in pixels.
  int BorderThickness() const { return 1; }

  TitleButton* CloseButton() const { return close_; }
  TitleButton* MinimizeButton() const { return minimize_; }  // nullptr when absent

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QString caption_;
  QFont caption_font_;
  QColor background_;
  QColor border_;
  TitleButton* close_ = nullptr;
  TitleButton* minimize_ = nullptr;
  bool dragging_ = false;  // moving by hand where the system move is missing
  QPoint drag_offset_;
};

}  // namespace quillora::skin

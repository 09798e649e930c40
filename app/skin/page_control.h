// The skin's page control: a row of tabs indented 10 pixels over a framed
// panel that shows one page at a time. Pages are 483 x 225 at (3, 37) of a
// control sized 489 x 265; other sizes keep the same margins.
//
// As in every tabbed dialog, Ctrl+Tab and Ctrl+PgDown show the next page and
// Ctrl+Shift+Tab and Ctrl+PgUp the one before, from whichever control of the
// window has the focus, wrapping around at either end.
#pragma once

#include <QWidget>

class QStackedWidget;
class QTabBar;

namespace quillora::skin {

class TsuiPageControl : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kTabIndent = 10;
  static constexpr int kPanelTop = 34;  // the panel's top border line
  static constexpr int kPageLeft = 3;
  static constexpr int kPageTop = 37;

  explicit TsuiPageControl(QWidget* parent);

  // Adds a page at the end, with its tab; the control owns the page.
  void AddPage(QWidget* page, const QString& caption);

  int Count() const;
  int CurrentIndex() const;
  void SetCurrentIndex(int index);
  // Shows the page step places after the current one, wrapping around.
  void StepPage(int step);
  QWidget* CurrentPage() const;
  QWidget* Page(int index) const;
  // The index of page, or -1 when it is not one of the pages.
  int IndexOf(QWidget* page) const;
  QTabBar* TabBar() const { return tabs_; }

 signals:
  void CurrentChanged(int index);

 protected:
  void paintEvent(QPaintEvent*) override;
  void resizeEvent(QResizeEvent*) override;

 private:
  void Layout();

  QTabBar* tabs_;
  QStackedWidget* stack_;
};

}  // namespace quillora::skin

#include "app/skin/page_control.h"

#include <QKeySequence>
#include <QPainter>
#include <QShortcut>
#include <QStackedWidget>
#include <QTabBar>

#include "app/skin/skin.h"

namespace quillora::skin {

TsuiPageControl::TsuiPageControl(QWidget* parent)
    : QWidget(parent), tabs_(new QTabBar(this)), stack_(new QStackedWidget(this)) {
  tabs_->setDrawBase(false);
  tabs_->setExpanding(false);
  tabs_->setUsesScrollButtons(false);
  tabs_->setFocusPolicy(Qt::TabFocus);
  connect(tabs_, &QTabBar::currentChanged, stack_, &QStackedWidget::setCurrentIndex);
  connect(tabs_, &QTabBar::currentChanged, this, &TsuiPageControl::CurrentChanged);
  // Window shortcuts come before the focused control sees the key, so an
  // edit box, a result box or the list cannot keep Ctrl+Tab for itself.
  const auto page_key = [this](QKeyCombination key, int step) {
    auto* shortcut = new QShortcut(QKeySequence(key), this);
    shortcut->setContext(Qt::WindowShortcut);
    connect(shortcut, &QShortcut::activated, this, [this, step] { StepPage(step); });
  };
  page_key(Qt::CTRL | Qt::Key_Tab, 1);
  page_key(Qt::CTRL | Qt::Key_PageDown, 1);
  // X11 and others report Shift+Tab as Backtab.
  page_key(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab, -1);
  page_key(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab, -1);
  page_key(Qt::CTRL | Qt::Key_PageUp, -1);
}

void TsuiPageControl::AddPage(QWidget* page, const QString& caption) {
  stack_->addWidget(page);
  tabs_->addTab(caption);
  tabs_->raise();  // the selected tab is drawn over the panel's top line
  Layout();         // a hidden control gets its resize event only when shown
}

int TsuiPageControl::Count() const { return stack_->count(); }
int TsuiPageControl::CurrentIndex() const { return stack_->currentIndex(); }
void TsuiPageControl::SetCurrentIndex(int index) { tabs_->setCurrentIndex(index); }
void TsuiPageControl::StepPage(int step) {
  const int count = Count();
  if (count == 0) return;
  SetCurrentIndex(((CurrentIndex() + step) % count + count) % count);
}

QWidget* TsuiPageControl::CurrentPage() const { return stack_->currentWidget(); }
QWidget* TsuiPageControl::Page(int index) const { return stack_->widget(index); }
int TsuiPageControl::IndexOf(QWidget* page) const { return stack_->indexOf(page); }

void TsuiPageControl::resizeEvent(QResizeEvent*) { Layout(); }

void TsuiPageControl::Layout() {
  const int tab_height = tabs_->sizeHint().height();
  tabs_->setGeometry(kTabIndent, kPanelTop + 1 - tab_height, width() - 2 * kTabIndent, tab_height);
  stack_->setGeometry(kPageLeft, kPageTop, width() - 2 * kPageLeft, height() - kPageTop - 3);
}

void TsuiPageControl::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QRect panel(0, kPanelTop, width(), height() - kPanelTop);
  p.fillRect(panel, kBackground);
  p.setPen(kBorder);
  p.drawRect(panel.adjusted(0, 0, -1, -1));
}

}  // namespace quillora::skin

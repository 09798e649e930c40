#include "app/skin/form.h"

#include <QEvent>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

#include "app/skin/skin.h"

namespace quillora::skin {

TitleButton::TitleButton(const QColor& colour, const QString& name, QWidget* parent)
    : QAbstractButton(parent), colour_(colour) {
  setObjectName(name);
  setAccessibleName(name);
  setFocusPolicy(Qt::NoFocus);
  setFixedSize(sizeHint());
}

void TitleButton::enterEvent(QEnterEvent*) {
  hovered_ = true;
  update();
}

void TitleButton::leaveEvent(QEvent*) {
  hovered_ = false;
  update();
}

void TitleButton::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing, true);
  const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
  QColor fill = isDown() ? colour_.darker(130) : colour_;
  QLinearGradient g(r.topLeft(), r.bottomLeft());
  g.setColorAt(0, fill.lighter(125));
  g.setColorAt(1, fill);
  p.setBrush(g);
  p.setPen(QPen(colour_.darker(160), 1));
  p.drawEllipse(r);
  if (hovered_) {
    // The glyph shows what the button does only under the pointer.
    p.setPen(QPen(QColor(70, 30, 20), 1.3));
    const QRectF c = r.adjusted(3.5, 3.5, -3.5, -3.5);
    if (objectName() == QLatin1String("close")) {
      p.drawLine(c.topLeft(), c.bottomRight());
      p.drawLine(c.topRight(), c.bottomLeft());
    } else {
      p.drawLine(QPointF(c.left(), c.center().y()), QPointF(c.right(), c.center().y()));
    }
  }
}

TsuiForm::TsuiForm(QWidget* window, TitleButtons buttons)
    : QWidget(window),
      caption_font_(ControlFont()),
      background_(kBackground),
      border_(kBorder) {
  setObjectName("suiForm");
  caption_font_.setBold(true);
  setGeometry(window->rect());
  window->installEventFilter(this);
  lower();

  close_ = new TitleButton(QColor(252, 92, 84), "close", this);
  close_->move(8, 5);
  connect(close_, &QAbstractButton::clicked, window, &QWidget::close);
  if (buttons == TitleButtons::kCloseAndMinimize) {
    minimize_ = new TitleButton(QColor(253, 188, 47), "minimize", this);
    minimize_->move(28, 5);
    connect(minimize_, &QAbstractButton::clicked, window, &QWidget::showMinimized);
  }
}

void TsuiForm::SetCaption(const QString& caption) {
  caption_ = caption;
  update();
}

void TsuiForm::SetCaptionFont(const QFont& font) {
  caption_font_ = font;
  update();
}

void TsuiForm::SetBackground(const QColor& colour) {
  background_ = colour;
  update();
}

void TsuiForm::SetBorderColour(const QColor& colour) {
  border_ = colour;
  update();
}

bool TsuiForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == parentWidget() && event->type() == QEvent::Resize) setGeometry(parentWidget()->rect());
  return QWidget::eventFilter(watched, event);
}

void TsuiForm::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), background_);

  const QRect bar(1, 1, width() - 2, kTitleBarHeight - 1);
  QLinearGradient g(bar.topLeft(), bar.bottomLeft());
  g.setColorAt(0, QColor(244, 244, 244));
  g.setColorAt(1, QColor(204, 204, 204));
  p.fillRect(bar, g);
  p.setPen(QColor(160, 160, 160));
  p.drawLine(bar.bottomLeft(), bar.bottomRight());

  p.setFont(caption_font_);
  p.setPen(Qt::black);
  p.drawText(bar.adjusted(50, 0, -50, 0), Qt::AlignCenter | Qt::TextSingleLine, caption_);

  p.setPen(border_);
  p.setBrush(Qt::NoBrush);
  p.drawRect(rect().adjusted(0, 0, -1, -1));
}

void TsuiForm::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || event->position().y() >= kTitleBarHeight) {
    QWidget::mousePressEvent(event);
    return;
  }
  QWindow* handle = window()->windowHandle();
  if (handle && handle->startSystemMove()) return;
  dragging_ = true;
  drag_offset_ = event->globalPosition().toPoint() - window()->frameGeometry().topLeft();
}

void TsuiForm::mouseMoveEvent(QMouseEvent* event) {
  if (dragging_) window()->move(event->globalPosition().toPoint() - drag_offset_);
  QWidget::mouseMoveEvent(event);
}

void TsuiForm::mouseReleaseEvent(QMouseEvent* event) {
  dragging_ = false;
  QWidget::mouseReleaseEvent(event);
}

}  // namespace quillora::skin

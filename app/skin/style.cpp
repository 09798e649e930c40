#include "app/skin/style.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QStyleFactory>
#include <QStyleOption>

#include "app/skin/skin.h"

namespace quillora::skin {

namespace {

const QColor kFace{246, 246, 246};
const QColor kFaceLow{214, 214, 214};
const QColor kPressedHigh{196, 206, 222};
const QColor kPressedLow{160, 176, 204};
const QColor kSelection{56, 117, 215};

void FillGradient(QPainter* p, const QRectF& r, const QColor& top, const QColor& bottom,
                  qreal radius) {
  QLinearGradient g(r.topLeft(), r.bottomLeft());
  g.setColorAt(0, top);
  g.setColorAt(1, bottom);
  QPainterPath path;
  path.addRoundedRect(r, radius, radius);
  p->fillPath(path, g);
}

void DrawDottedFocus(QPainter* p, const QRect& r) {
  QPen pen(Qt::black, 1, Qt::DotLine);
  p->save();
  p->setRenderHint(QPainter::Antialiasing, false);
  p->setPen(pen);
  p->setBrush(Qt::NoBrush);
  p->drawRect(r.adjusted(0, 0, -1, -1));
  p->restore();
}

}  // namespace

SkinStyle::SkinStyle() : QProxyStyle(QStyleFactory::create("Fusion")) {}

QPalette SkinStyle::standardPalette() const {
  QPalette pal(Qt::black, kBackground);
  pal.setColor(QPalette::Window, kBackground);
  pal.setColor(QPalette::Button, kBackground);
  pal.setColor(QPalette::Base, Qt::white);
  pal.setColor(QPalette::AlternateBase, QColor(245, 245, 245));
  pal.setColor(QPalette::Text, Qt::black);
  pal.setColor(QPalette::WindowText, Qt::black);
  pal.setColor(QPalette::ButtonText, Qt::black);
  pal.setColor(QPalette::Highlight, kSelection);
  pal.setColor(QPalette::HighlightedText, Qt::white);
  pal.setColor(QPalette::Mid, kBorder);
  pal.setColor(QPalette::Dark, kBorder);
  pal.setColor(QPalette::Shadow, QColor(90, 90, 90));
  pal.setColor(QPalette::Disabled, QPalette::Text, QColor(140, 140, 140));
  pal.setColor(QPalette::Disabled, QPalette::WindowText, QColor(140, 140, 140));
  pal.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(140, 140, 140));
  return pal;
}

void SkinStyle::polish(QPalette& palette) { palette = standardPalette(); }

void SkinStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option,
                              QPainter* p, const QWidget* widget) const {
  switch (element) {
    case PE_PanelButtonCommand: {
      const bool down = option->state & (State_Sunken | State_On);
      const QRectF r = QRectF(option->rect).adjusted(0.5, 0.5, -0.5, -0.5);
      p->save();
      p->setRenderHint(QPainter::Antialiasing, true);
      FillGradient(p, r, down ? kPressedHigh : kFace, down ? kPressedLow : kFaceLow, 4);
      p->setPen(QPen(kBorder, 1));
      p->setBrush(Qt::NoBrush);
      p->drawRoundedRect(r, 4, 4);
      p->restore();
      return;
    }
    case PE_FrameFocusRect:
      DrawDottedFocus(p, option->rect);
      return;
    case PE_PanelLineEdit:
      p->fillRect(option->rect, option->palette.base());
      p->setPen(kBorder);
      p->drawRect(option->rect.adjusted(0, 0, -1, -1));
      return;
    case PE_FrameLineEdit:
    case PE_Frame:
      p->setPen(kBorder);
      p->setBrush(Qt::NoBrush);
      p->drawRect(option->rect.adjusted(0, 0, -1, -1));
      return;
    case PE_IndicatorCheckBox: {
      const QRect r = option->rect.adjusted(0, 0, -1, -1);
      p->save();
      p->setRenderHint(QPainter::Antialiasing, true);
      FillGradient(p, QRectF(r).adjusted(0.5, 0.5, 0.5, 0.5), Qt::white, kFaceLow, 2);
      p->setPen(QPen(kBorder, 1));
      p->setBrush(Qt::NoBrush);
      p->drawRoundedRect(QRectF(r).adjusted(0.5, 0.5, 0.5, 0.5), 2, 2);
      if (option->state & State_On) {
        QPen tick(Qt::black, 1.8);
        tick.setCapStyle(Qt::RoundCap);
        tick.setJoinStyle(Qt::RoundJoin);
        p->setPen(tick);
        const QRectF c = QRectF(r).adjusted(3, 3, -2, -2);
        QPainterPath path;
        path.moveTo(c.left(), c.center().y());
        path.lineTo(c.left() + c.width() * 0.4, c.bottom());
        path.lineTo(c.right(), c.top());
        p->drawPath(path);
      }
      p->restore();
      return;
    }
    default:
      QProxyStyle::drawPrimitive(element, option, p, widget);
  }
}

void SkinStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* p,
                            const QWidget* widget) const {
  switch (element) {
    case CE_PushButton: {
      const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option);
      if (!button) break;
      drawPrimitive(PE_PanelButtonCommand, option, p, widget);
      QStyleOptionButton label = *button;
      label.state &= ~State_HasFocus;
      QProxyStyle::drawControl(CE_PushButtonLabel, &label, p, widget);
      // The focus rectangle sits 2 pixels inside the button's edge.
      if (button->state & State_HasFocus) DrawDottedFocus(p, button->rect.adjusted(2, 2, -2, -2));
      return;
    }
    case CE_TabBarTabShape: {
      const auto* tab = qstyleoption_cast<const QStyleOptionTab*>(option);
      if (!tab) break;
      const bool selected = tab->state & State_Selected;
      // The selected tab stands one pixel higher and covers the panel's top
      // line, so it reads as the front of the page beneath it.
      QRectF r = QRectF(tab->rect).adjusted(0.5, selected ? 0.5 : 2.5, -0.5, selected ? 1.5 : -0.5);
      p->save();
      p->setRenderHint(QPainter::Antialiasing, true);
      QPainterPath path;
      path.moveTo(r.bottomLeft());
      path.lineTo(r.left(), r.top() + 4);
      path.quadTo(r.topLeft(), QPointF(r.left() + 4, r.top()));
      path.lineTo(r.right() - 4, r.top());
      path.quadTo(r.topRight(), QPointF(r.right(), r.top() + 4));
      path.lineTo(r.bottomRight());
      QLinearGradient g(r.topLeft(), r.bottomLeft());
      if (selected) {
        g.setColorAt(0, QColor(252, 252, 252));
        g.setColorAt(1, kBackground);
      } else {
        g.setColorAt(0, QColor(236, 236, 236));
        g.setColorAt(1, QColor(206, 206, 206));
      }
      p->fillPath(path, g);
      p->setPen(QPen(kBorder, 1));
      p->drawPath(path);
      p->restore();
      return;
    }
    case CE_TabBarTabLabel: {
      const auto* tab = qstyleoption_cast<const QStyleOptionTab*>(option);
      if (!tab) break;
      QStyleOptionTab copy = *tab;
      copy.state &= ~State_HasFocus;
      QProxyStyle::drawControl(element, &copy, p, widget);
      if (tab->state & State_HasFocus) {
        const int w = tab->fontMetrics.horizontalAdvance(tab->text);
        const int h = tab->fontMetrics.height();
        QRect focus(0, 0, w + 4, h + 2);
        focus.moveCenter(tab->rect.center() + QPoint(0, 1));
        DrawDottedFocus(p, focus);
      }
      return;
    }
    default:
      break;
  }
  QProxyStyle::drawControl(element, option, p, widget);
}

QSize SkinStyle::sizeFromContents(ContentsType type, const QStyleOption* option,
                                  const QSize& size, const QWidget* widget) const {
  if (type == CT_TabBarTab) {
    const QSize s = QProxyStyle::sizeFromContents(type, option, size, widget);
    return QSize(size.width() + 20, 24).expandedTo(QSize(s.width() - 8, 24));
  }
  return QProxyStyle::sizeFromContents(type, option, size, widget);
}

int SkinStyle::pixelMetric(PixelMetric metric, const QStyleOption* option,
                           const QWidget* widget) const {
  switch (metric) {
    case PM_IndicatorWidth:
    case PM_IndicatorHeight:
      return 13;
    case PM_CheckBoxLabelSpacing:
      return 4;
    case PM_TabBarTabShiftVertical:
    case PM_TabBarTabShiftHorizontal:
    case PM_TabBarBaseOverlap:
      return 0;
    case PM_DefaultFrameWidth:
      return 1;
    default:
      return QProxyStyle::pixelMetric(metric, option, widget);
  }
}

int SkinStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                         QStyleHintReturn* returnData) const {
  switch (hint) {
    case SH_TabBar_Alignment:
      return Qt::AlignLeft;
    case SH_Button_FocusPolicy:
      return Qt::StrongFocus;
    default:
      return QProxyStyle::styleHint(hint, option, widget, returnData);
  }
}

}  // namespace quillora::skin

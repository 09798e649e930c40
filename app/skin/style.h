// The skin's drawing of standard controls: buttons, tabs, edit frames and the
// check box in the grey "MacOS" look, over Fusion for everything else.
#pragma once

#include <QProxyStyle>

namespace quillora::skin {

class SkinStyle : public QProxyStyle {
 public:
  SkinStyle();

  QPalette standardPalette() const override;
  void polish(QPalette& palette) override;
  using QProxyStyle::polish;

  void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;
  void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                   const QWidget* widget = nullptr) const override;
  QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                         const QWidget* widget = nullptr) const override;
  int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
                  const QWidget* widget = nullptr) const override;
  int styleHint(StyleHint hint, const QStyleOption* option = nullptr,
                const QWidget* widget = nullptr, QStyleHintReturn* returnData = nullptr) const override;
};

}  // namespace quillora::skin

#include "app/skin/skin.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QPalette>

#include "app/skin/style.h"

namespace quillora::skin {

namespace {

void RegisterSubstitutes() {
  // Close metric matches first; the rest only keep Latin text legible on a
  // machine that has none of them.
  const QStringList faces{"Liberation Sans", "Arimo", "Arial", "Helvetica", "DejaVu Sans"};
  QFont::insertSubstitutions("MS Sans Serif", faces);
  QFont::insertSubstitutions("Tahoma", faces);
}

}  // namespace

QFont ControlFont() {
  QFont font("MS Sans Serif");
  font.setPixelSize(11);
  font.setWeight(QFont::Normal);
  return font;
}

QFont DialogCaptionFont() {
  QFont font("Tahoma");
  font.setPixelSize(11);
  font.setBold(true);
  return font;
}

void SetInnerMargin(QAbstractScrollArea& view, int pixels) {
  view.setFrameStyle(QFrame::Box | QFrame::Plain);
  view.setLineWidth(pixels);
  // A plain box is drawn in the view's foreground colour: make that the
  // list's own background (the rows' text keeps its own colour role).
  view.setForegroundRole(QPalette::Base);
  view.setAutoFillBackground(true);
  view.setBackgroundRole(QPalette::Base);
}

void FixDpiBeforeApplication() {
  // Every position is a pixel of a 96 dpi screen; a scaled layout would no
  // longer match the designed one.
  qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
  qunsetenv("QT_SCALE_FACTOR");
  qunsetenv("QT_SCREEN_SCALE_FACTORS");
  QGuiApplication::setHighDpiScaleFactorRoundingPolicy(
      Qt::HighDpiScaleFactorRoundingPolicy::Round);
  QCoreApplication::setAttribute(Qt::AA_Use96Dpi);
}

void Install(QApplication& app) {
  RegisterSubstitutes();
  app.setStyle(new SkinStyle);  // the application takes ownership
  app.setPalette(app.style()->standardPalette());
  app.setFont(ControlFont());
}

}  // namespace quillora::skin

#include "app/icons.h"

#include <QImage>
#include <QPainter>
#ifndef QUILLORA_DRAWN_ARTWORK
#include <QSvgRenderer>
#endif

namespace quillora {

namespace {

#ifdef QUILLORA_DRAWN_ARTWORK
// Without Qt's SVG module the build drew each size beforehand (app/CMakeLists.txt).
QPixmap Render(const QString& resource, QSize size) {
  QString drawn = resource;
  drawn.replace(".svg", size.width() == size.height() ? QString("-%1.png").arg(size.width()) : QString(".png"));
  // As the SVG renderer gives it, so a tile cut from it compares the same.
  return QPixmap::fromImage(QImage(drawn).convertToFormat(QImage::Format_ARGB32_Premultiplied));
}
#else
QPixmap Render(const QString& resource, QSize size) {
  QSvgRenderer renderer(resource);
  QImage image(size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  renderer.render(&painter, QRectF(QPointF(0, 0), size));
  painter.end();
  return QPixmap::fromImage(image);
}
#endif

}  // namespace

QIcon MainIcon() {
  QIcon icon;
  for (int side : {16, 24, 32, 48, 64, 128, 256})
    icon.addPixmap(Render(":/quillora/MAINICON.svg", QSize(side, side)));
  return icon;
}

QPixmap MsgDlgStrip() { return Render(":/quillora/MSGDLG.svg", QSize(168, 42)); }

}  // namespace quillora

// A label that acts as a link: hand-shaped pointer, Clicked() on a left click.
#pragma once

#include <QLabel>

namespace quillora {

class TClickLabel : public QLabel {
  Q_OBJECT
 public:
  TClickLabel(const QString& text, QWidget* parent);

 signals:
  void Clicked();

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;
};

}  // namespace quillora

#include "app/path_box.h"

#include <QFile>
#include <QLineEdit>
#include <QVariant>

namespace quillora {
namespace {
constexpr const char* kBytes = "quilloraPathBytes";
constexpr const char* kShown = "quilloraPathShown";
}  // namespace

void SetPathText(QLineEdit& box, const std::string& path) {
  const QString shown = QFile::decodeName(QByteArray::fromStdString(path));
  box.setText(shown);
  box.setProperty(kBytes, QByteArray::fromStdString(path));
  box.setProperty(kShown, shown);
}

std::string PathText(const QLineEdit& box) {
  if (box.property(kShown).toString() == box.text() && box.property(kBytes).isValid())
    return box.property(kBytes).toByteArray().toStdString();
  return QFile::encodeName(box.text()).toStdString();
}

}  // namespace quillora

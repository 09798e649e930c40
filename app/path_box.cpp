#include "app/path_box.h"

#include <QLineEdit>
#include <QVariant>

#include "app/display_text.h"

namespace quillora {
namespace {
constexpr const char* kBytes = "quilloraPathBytes";
constexpr const char* kShown = "quilloraPathShown";
}  // namespace

void SetPathText(QLineEdit& box, const std::string& path) {
  const QString shown = DisplayText(path);
  box.setText(shown);
  box.setProperty(kBytes, QByteArray::fromStdString(path));
  box.setProperty(kShown, shown);
}

std::string PathText(const QLineEdit& box) {
  if (box.property(kShown).toString() == box.text() && box.property(kBytes).isValid())
    return box.property(kBytes).toByteArray().toStdString();
  return CoreBytes(box.text());
}

}  // namespace quillora

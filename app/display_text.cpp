#include "app/display_text.h"

#include <QByteArray>
#include <QFile>

namespace quillora {

QString DisplayText(std::string_view bytes) {
  return QFile::decodeName(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

std::string CoreBytes(const QString& text) { return QFile::encodeName(text).toStdString(); }

}  // namespace quillora

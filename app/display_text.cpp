#include "app/display_text.h"

#include <QByteArray>
#include <QFile>

namespace quillora {

// On Windows the core's names are UTF-8 (its wide API layer), while Qt's
// encodeName gives the ANSI code page there.
QString DisplayText(std::string_view bytes) {
#ifdef _WIN32
  return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
#else
  return QFile::decodeName(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
#endif
}

std::string CoreBytes(const QString& text) {
#ifdef _WIN32
  return text.toUtf8().toStdString();
#else
  return QFile::encodeName(text).toStdString();
#endif
}

}  // namespace quillora

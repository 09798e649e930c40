#include "app/shell.h"

#include <QDesktopServices>
#include <QFile>
#include <QUrl>

#include "platform/env.h"

namespace quillora {

void DesktopShell::Open(const std::string& /*verb*/, const std::string& target) {
  const QString text = QFile::decodeName(QByteArray::fromStdString(target));
  QUrl url;
  if (!target.empty() && target.front() == kPathSeparator) {
    url = QUrl::fromLocalFile(text);
  } else if (QUrl(text).scheme().size() > 1) {  // one letter would be a drive
    url = QUrl(text);
  } else {
    url = QUrl(QStringLiteral("https://") + text);
  }
  QDesktopServices::openUrl(url);
}

std::string HelpFilePath(const std::string& exe_folder) {
  std::string path = exe_folder;
  if (!path.empty() && path.back() == kPathSeparator) path.pop_back();
  path += kPathSeparator;
  path += "help.chm";
  return path;
}

}  // namespace quillora

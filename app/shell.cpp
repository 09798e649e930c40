#include "app/shell.h"

#include <QDesktopServices>
#include <QFile>

#include "app/desktop_url.h"
#include "platform/env.h"

namespace quillora {

void DesktopShell::Open(const std::string& /*verb*/, const std::string& target) {
  const QString text = QFile::decodeName(QByteArray::fromStdString(target));
  QDesktopServices::openUrl(DesktopUrl(text, NativePathRules()));
}

std::string HelpFilePath(const std::string& exe_folder) {
  std::string path = exe_folder;
  if (!path.empty() && path.back() == kPathSeparator) path.pop_back();
  path += kPathSeparator;
  path += "help.chm";
  return path;
}

}  // namespace quillora

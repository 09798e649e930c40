#include "app/shell.h"

#include <QDesktopServices>
#include <QUrl>

#include "app/display_text.h"
#include "platform/env.h"
#include "platform/paths.h"

namespace quillora {

void DesktopShell::Open(const std::string& /*verb*/, const std::string& target) {
  const QString text = DisplayText(target);
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

std::string HelpFilePath(const std::string& exe_folder) { return JoinPath(exe_folder, "help.chm"); }

}  // namespace quillora

#include "app/shell.h"

#include <QDesktopServices>

#include "app/desktop_url.h"
#include "app/display_text.h"
#include "platform/env.h"
#include "platform/paths.h"

namespace quillora {

void DesktopShell::Open(const std::string& /*verb*/, const std::string& target) {
  const QString text = DisplayText(target);
  QDesktopServices::openUrl(DesktopUrl(text, kNativePaths));
}

std::string HelpFilePath(const std::string& exe_folder) { return JoinPath(exe_folder, "help.chm"); }

}  // namespace quillora

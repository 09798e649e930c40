// The URL under which the desktop opens a target of the window: the help
// file's path, the web page's bare address or a "mailto:" target. Kept apart
// from the desktop itself so that Windows paths can be checked anywhere.
#pragma once

#include <QString>
#include <QUrl>

#include "platform/paths.h"

namespace quillora {

// The URL that opens target:
// - a full path becomes a local file URL: "/x/help.chm" is file:///x/help.chm;
//   under the Win32 rules (where a full path may also use "/")
//   "C:\x\help.chm" is file:///C:/x/help.chm and "\\host\share\help.chm" is
//   file://host/share/help.chm;
// - a target with a scheme of two letters or more ("mailto:...") stays as it
//   is;
// - anything else is a web page's address without its scheme and gets https.
QUrl DesktopUrl(const QString& target, PathRules rules);

}  // namespace quillora

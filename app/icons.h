// The program's artwork, compiled in from the SVG sources in resources/.
#pragma once

#include <QIcon>
#include <QPixmap>

namespace quillora {

// The program icon (`MAINICON`), at the sizes a desktop asks for.
QIcon MainIcon();

// The message dialog's icon strip (`MSGDLG`): 168 x 42 pixels, four 42 x 42
// tiles from the left: warning, stop, information, help.
QPixmap MsgDlgStrip();

}  // namespace quillora

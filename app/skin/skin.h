// The skin: one "MacOS"-style look for every window of the program. The
// window code only builds controls and places them; how they are drawn lives
// here, so a change of look never touches a handler.
#pragma once

#include <QColor>
#include <QFont>

class QAbstractScrollArea;
class QApplication;

namespace quillora::skin {

inline const QColor kBackground{231, 231, 231};
inline const QColor kBorder{127, 127, 127};

// The face every control uses: "MS Sans Serif", 11 pixels. Its substitutes
// (Liberation Sans first) are registered by Install(), so Linux draws a face
// of nearly the same metrics.
QFont ControlFont();
// The face of the message dialog's title: "Tahoma", 11 pixels, bold.
QFont DialogCaptionFont();

// Registers the font substitutes, sets the application font, style and
// palette. Call once, after the QApplication exists and before any widget.
void Install(QApplication& app);

// Gives a list view no outer border but an inner margin: its header and rows
// start `pixels` inside its edge, on the list's own background. (A scroll
// area lays its viewport out from its frame, ignoring contents margins, and a
// table view resets its viewport margins for its headers: the margin is a
// frame in the background colour.)
void SetInnerMargin(QAbstractScrollArea& view, int pixels);

// Call before the QApplication is constructed: lay out at 96 dpi and never
// rescale, whatever the screen reports.
void FixDpiBeforeApplication();

}  // namespace quillora::skin

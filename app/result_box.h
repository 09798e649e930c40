// The result boxes (`MemoMakeResult`, `MemoVerifyResult`): read-only
// plain-text boxes that a job empties and then fills one line at a time.
#pragma once

#include <string_view>

class QPlainTextEdit;
class QWidget;

namespace quillora {

// A read-only multi-line box with a vertical scroll bar only.
QPlainTextEdit* NewResultBox(QWidget* parent);

// Appends line (8-bit text, decoded for display) as a new last line; an
// empty text appends an empty line, and each "\n" in it starts another line.
// Costs the same however long the box is.
void AppendLine(QPlainTextEdit& box, std::string_view line);

// Empties the box.
void ClearBox(QPlainTextEdit& box);

}  // namespace quillora

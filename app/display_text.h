// The one way the window turns the core's bytes into text on screen and
// back. Names, result lines, digests and error texts are byte strings in the
// file system's encoding (UTF-8, on Windows too); the
// window decodes them only to show them, and a name that does not decode
// keeps its exact bytes in the core.
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace quillora {

// bytes decoded for display; bytes that do not decode show as replacement
// characters.
QString DisplayText(std::string_view bytes);

// Text the user typed or a dialog gave, as the bytes the core uses: the
// reverse of DisplayText for any text DisplayText can give.
std::string CoreBytes(const QString& text);

}  // namespace quillora

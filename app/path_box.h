// The path boxes (`EdtPath`, `EdtCheckfilePath`) hold text, but paths are
// bytes. A box set from a path (a chooser, a drop) keeps that path's exact
// bytes for as long as its text is not edited, so a name that is not valid
// UTF-8 still reaches the job unchanged; typed text is encoded as the file
// system expects.
#pragma once

#include <string>

class QLineEdit;

namespace quillora {

// Shows path in the box and remembers its bytes.
void SetPathText(QLineEdit& box, const std::string& path);

// The path the box names: the remembered bytes while the text is the one
// SetPathText showed, else the typed text encoded.
std::string PathText(const QLineEdit& box);

}  // namespace quillora

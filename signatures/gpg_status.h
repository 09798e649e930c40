// Reads the status lines gpg writes to its --status-fd while it verifies
// ("[GNUPG:] GOODSIG ..."): where gpg is run as a program (on Windows,
// Gpg4win's gpg.exe), they are all it says. The tests hold GPGME's findings
// against what this reader makes of gpg's own lines, case by case.
#pragma once

#include <string>
#include <string_view>

#include "signatures/signature_finding.h"

namespace quillora {

// The finding of every signature the lines tell of (one per NEWSIG),
// weighed by WorstOrBest and Trimmed. clear_signed and signature_file_name
// say what gpg was given, for when it found no signature (NoSignatureIn).
// Lines that are not status lines, and keywords it does not know, are passed
// over; with no signature and no NODATA it says GnuPG could not check it.
SignatureFinding FindingOfStatusLines(std::string_view status, bool clear_signed,
                                      const std::string& signature_file_name);

}  // namespace quillora

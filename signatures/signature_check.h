// Checks a check file's signature with GnuPG, before a verify reads its
// records: a clear-signed check file ("-----BEGIN PGP SIGNED MESSAGE-----"
// ... "-----END PGP SIGNATURE-----"), or a detached signature beside it.
// GnuPG reads the check file through the stream the verify then reads its
// records from, so what was checked is what is read: nothing can be put in
// its place between the two.
#pragma once

#include <string>

#include "platform/env.h"
#include "platform/stream.h"
#include "signatures/signature_finding.h"

namespace quillora {

// The suffixes of a check file's detached signature, in the order they are
// looked for: "SHA256SUMS.gpg", then .sign, .sig and .asc. Each name is
// looked up as the platform looks names up (any letter case on Windows).
inline constexpr const char* kSignatureSuffixes[] = {".gpg", ".sign", ".sig", ".asc"};

// The finding on the check file at check_file_path, whose bytes check_file
// reads from its current position, which it is sought back to. A check file
// that holds a clear-signed message is checked as one; else the first
// signature file beside it (path and suffix) that exists is checked against
// it; else, or for an empty path (standard input), there is none (kNone).
// A signature file that cannot be read is kNotChecked, with the system's
// reason. Raises IoError when the check file cannot be read or sought back.
SignatureFinding CheckSignature(Env& env, const std::string& check_file_path, Stream& check_file);

// True when the bytes from the stream's current position on hold the line
// that begins a signed message: "-----BEGIN PGP SIGNED MESSAGE-----", then
// blanks and one CR at most, as the check file's reader cuts lines; a UTF-8
// byte-order mark at that position passed over, as the reader passes it
// over. The one rule of it: the reader (checkfile/clear_signed.h) asks it
// too, so the lines it reads as signed are those GnuPG was asked about.
// Reads every byte, a block at a time, holding no line, and leaves the
// stream at its end; raises IoError when a read fails.
bool HoldsClearSignedMessage(Stream& check_file);

}  // namespace quillora

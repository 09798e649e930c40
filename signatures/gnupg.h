// The seam to GnuPG itself, one side per platform: GPGME where GnuPG's
// library is at hand (gnupg_gpgme.cpp), Gpg4win's gpg.exe run with
// --status-fd on Windows (gnupg_win32.cpp). Callers use signature_check.h.
#pragma once

#include <string>

#include "platform/stream.h"
#include "signatures/signature_finding.h"

namespace quillora {

// What GnuPG is asked to verify.
struct SignedBytes {
  // The check file, read from its current position to its end, exactly as
  // the verify reads it; where it is left afterwards is the caller's to mend.
  Stream& check_file;
  // The check file holds its signature (clear-signed); else signature holds
  // the bytes of the signature file at signature_path beside it.
  bool clear_signed = false;
  std::string signature = {};
  std::string signature_path = {};
};

// Asks GnuPG, against the user's keyring (GNUPGHOME, or GnuPG's default), and
// returns its finding, Trimmed: kNoGnuPG when GnuPG cannot be found,
// kNotChecked when it fails otherwise. Raises IoError when the check file
// cannot be read: the verify could not read it either.
SignatureFinding VerifyWithGnuPG(const SignedBytes& input);

}  // namespace quillora

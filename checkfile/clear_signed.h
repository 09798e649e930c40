// The PGP clear-signed wrapper some check files come in (Fedora's CHECKSUM,
// many a SHA256SUMS.asc): taken off line by line, so the lines inside read
// as any others. The signature is not checked here: GnuPG checks it before
// the verify reads a line (signatures/signature_check.h).
//
// From "-----BEGIN PGP SIGNED MESSAGE-----" its header lines ("Hash:
// SHA256") run to the first empty line; the signed lines follow, each
// starting with "-" written with "- " before it, up to "-----BEGIN PGP
// SIGNATURE-----"; the signature runs to "-----END PGP SIGNATURE-----". A
// signature block alone (a detached armoured one) is taken off too. Lines
// before and after pass as they are.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace quillora {

class ClearSignedText {
 public:
  // The line as the check file's line to read, its dash escape undone, or
  // nothing for a line of the wrapper. line has its line end cut; the view
  // returned points into it.
  std::optional<std::string_view> Unwrap(std::string_view line);

  // A signed message was met: its lines were read, its signature not checked.
  bool signed_message() const { return signed_message_; }

 private:
  enum class Part : std::uint8_t { kOutside, kHeader, kSigned, kSignature };
  Part part_ = Part::kOutside;
  bool signed_message_ = false;
};

}  // namespace quillora

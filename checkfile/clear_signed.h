// The PGP clear-signed wrapper some check files come in (Fedora's CHECKSUM,
// many a SHA256SUMS.asc): taken off line by line, so the lines inside read
// as any others. Whether the signature holds is GnuPG's to say, before the
// verify reads a line (signatures/signature_check.h).
//
// From "-----BEGIN PGP SIGNED MESSAGE-----" its header lines ("Hash:
// SHA256") run to the first empty line; the signed lines follow, each
// starting with "-" written with "- " before it, up to "-----BEGIN PGP
// SIGNATURE-----"; the signature runs to "-----END PGP SIGNATURE-----". A
// signature block alone (a detached armoured one) is taken off too.
//
// In a file that holds a signed message, only the lines of its first signed
// message are the check file's: a line before it or after its signature
// (where anyone may add one without breaking the signature) is outside.
// Without a signed message, every line outside a signature block is read.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/stream.h"

namespace quillora {

class ClearSignedText {
 public:
  // What a line of the file is.
  enum class Part : std::uint8_t {
    kRead,     // a line of the check file to read (Unwrap's text)
    kWrapper,  // a line of the wrapper: armour, header, signature
    kOutside,  // outside the signed message of a file that holds one: never read
  };
  struct Unwrapped {
    Part part;
    std::string_view text;  // kRead: the line, its dash escape undone
  };

  // The file holds a signed message (HoldsSignedMessage): lines outside it
  // are kOutside from the first line on. Before the first Unwrap.
  void ExpectSignedMessage() { expect_signed_ = true; }

  // Tells what line is, line having its line end cut; the text returned
  // points into it.
  Unwrapped Unwrap(std::string_view line);

  // A signed message was met: its lines were read.
  bool signed_message() const { return signed_message_; }

 private:
  enum class State : std::uint8_t { kBefore, kHeader, kSigned, kSignature, kAfter };
  State state_ = State::kBefore;
  bool expect_signed_ = false;
  bool signed_message_ = false;
};

// Whether the stream, read from its current position to its end, holds the
// line that begins a signed message: HoldsClearSignedMessage
// (signatures/signature_check.h), the one rule, so that the lines the reader
// takes for a signed message's are those whose signature GnuPG was asked
// about. Leaves the position at the end. A failed read raises IoError.
bool HoldsSignedMessage(Stream& input);

}  // namespace quillora

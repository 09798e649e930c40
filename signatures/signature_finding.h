// What GnuPG found of a check file's signature, and the lines the verify
// shows of it among its closing lines, in the window's result box and on the
// command line alike.
//
// What each finding means for the verify (Fails):
//   good                the signature matches, by a key in the user's keyring
//                       that is not revoked; a pass. Its key may have expired
//                       since (gpg --verify calls that a good signature too:
//                       a stolen key is revoked, not left to expire), and it
//                       may be of unknown validity (imported, not certified
//                       by a key the user trusts): each adds a line saying so
//   bad                 the bytes are not what was signed, or a clear-signed
//                       check file's signature cannot be read: no pass
//   revoked key         the signature matches, but its key was revoked, as a
//                       key is once stolen: no pass
//   expired signature   the signer gave the signature an end, now past: no pass
//   distrusted key      the user has said never to trust the key: no pass
//   key missing         signed by a key the keyring lacks: not checked, and
//                       the records are verified as before
//   not checked         GnuPG is not installed or could not do it; the
//                       records are verified as before
//   none                no signature: nothing is said
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillora {

enum class SignatureState : std::uint8_t {
  kNone,
  kGood,
  kBad,
  kKeyRevoked,
  kSignatureExpired,
  kKeyDistrusted,
  kKeyMissing,
  kNoGnuPG,
  kNotChecked,
};

struct SignatureFinding {
  SignatureState state = SignatureState::kNone;
  // The signing key's primary user ID as GnuPG gives it ("Name <mail>"),
  // and the fingerprint of its primary key. For kKeyMissing, signer is empty
  // and fingerprint is the issuer's fingerprint, or its 16-digit key ID when
  // the signature names no more.
  std::string signer = {};
  std::string fingerprint = {};
  std::int64_t signed_at = 0;   // seconds since 1970 (UTC); 0: not known
  std::int64_t expires_at = 0;  // the signature's own end, or 0
  bool key_expired = false;     // kGood: the key has expired since
  bool key_certified = false;   // kGood: of full or ultimate validity
  std::string problem = {};     // kNotChecked: why, in a few words

  // True when the signature is no pass: the verify calls no record OK.
  bool Fails() const;
  // True when there is a signature GnuPG did not check: a key not in the
  // keyring, no GnuPG, or a failure of its own (kKeyMissing, kNoGnuPG,
  // kNotChecked).
  bool Unchecked() const {
    return state == SignatureState::kKeyMissing || state == SignatureState::kNoGnuPG ||
           state == SignatureState::kNotChecked;
  }
  bool operator==(const SignatureFinding&) const = default;
};

// The finding with only the fields its state shows (signer, fingerprint and
// times for a signature GnuPG could check; the fingerprint alone for a
// missing key; the problem of one not checked), the others cleared: what
// two ways of asking GnuPG must agree on.
SignatureFinding Trimmed(SignatureFinding finding);

// The finding of a check file with several signatures: one that fails
// before any good one (a pass needs every signature GnuPG could check to
// hold), then the best good one (certified, then with a key not expired),
// then a missing key, then the first problem.
SignatureFinding WorstOrBest(const std::vector<SignatureFinding>& findings);

// The finding when GnuPG found no signature in what it was given: a
// clear-signed check file whose signature block is damaged is BAD; a
// signature file beside it that holds none was not a signature (another
// tool's .sig), and nothing was checked.
SignatureFinding NoSignatureIn(bool clear_signed, const std::string& signature_file_name);

// The closing lines of a finding, none for kNone:
//   The check file's signature is good: signed by NAME <MAIL> (key FPR).
//   The check file's signature is BAD.
//   The check file is signed by key FPR, which is not in your keyring: the
//   signature was not checked.  (and how to fetch the key)
// and those of the other states. A signer's control characters are shown as
// \xNN, so a user ID cannot break a line.
std::vector<std::string> SignatureLines(const SignatureFinding& finding);

}  // namespace quillora

#include "signatures/gpg_status.h"

#include <gtest/gtest.h>

namespace quillora {
namespace {

constexpr const char* kFpr = "AE4BDD7F2FF89AE6FC775462852159C0492E9185";
constexpr const char* kSubkey = "0123456789ABCDEF0123456789ABCDEF01234567";

std::string Line(const std::string& text) { return "[GNUPG:] " + text + "\n"; }
std::string NewSig() { return Line("NEWSIG signer@example.org"); }
// VALIDSIG of a signature by kSubkey, a subkey of kFpr: the fingerprint shown
// must be the primary key's, the one a publisher gives.
std::string ValidSig(const std::string& expires = "0") {
  return Line("VALIDSIG " + std::string(kSubkey) + " 2019-01-01 1546300800 " + expires + " 4 0 22 8 01 " + kFpr);
}

SignatureFinding Signed(SignatureState state, bool certified = false, bool key_expired = false) {
  return {.state = state, .signer = "Good Signer <good@example.org>", .fingerprint = kFpr,
          .signed_at = 1546300800, .key_expired = key_expired, .key_certified = certified};
}

// The lines gpg 2.2 writes for each kind of signature, as the Linux tests
// record them from the real program; these run on every platform.
TEST(GpgStatusTest, EachKindOfSignature) {
  const std::string good = NewSig() + Line("GOODSIG 852159C0492E9185 Good Signer <good@example.org>") + ValidSig();
  SignatureFinding expired_signature = Signed(SignatureState::kSignatureExpired);
  expired_signature.expires_at = 1546387200;
  const struct {
    const char* name;
    std::string status;
    bool clear_signed;
    SignatureFinding expected;
  } cases[] = {
      {"good, unknown validity", good + Line("TRUST_UNDEFINED 0 pgp"), true, Signed(SignatureState::kGood)},
      {"good, ultimate", good + Line("TRUST_ULTIMATE 0 pgp"), true, Signed(SignatureState::kGood, true)},
      {"good, full, lines ending CRLF", NewSig() + "[GNUPG:] GOODSIG 852159C0492E9185 Good Signer <good@example.org>\r\n" +
                                            ValidSig() + "[GNUPG:] TRUST_FULLY 0 pgp\r\n",
       true, Signed(SignatureState::kGood, true)},
      {"key expired since", NewSig() + Line("KEYEXPIRED 1546387200") +
                                Line("EXPKEYSIG 852159C0492E9185 Good Signer <good@example.org>") + ValidSig(),
       true, Signed(SignatureState::kGood, false, true)},
      {"signature expired", NewSig() + Line("EXPSIG 852159C0492E9185 Good Signer <good@example.org>") +
                                ValidSig("1546387200") + Line("TRUST_ULTIMATE 0 pgp"),
       true, expired_signature},
      {"revoked key", NewSig() + Line("REVKEYSIG 852159C0492E9185 Good Signer <good@example.org>") + ValidSig() +
                          Line("KEYREVOKED") + Line("TRUST_UNDEFINED 0 pgp"),
       true, Signed(SignatureState::kKeyRevoked)},
      {"never to be trusted", good + Line("TRUST_NEVER 0 pgp"), true, Signed(SignatureState::kKeyDistrusted)},
      {"bad", NewSig() + Line("BADSIG 852159C0492E9185 Good Signer <good@example.org>") +
                  Line("FAILURE gpg-exit 33554433"),
       true, {.state = SignatureState::kBad}},
      {"key missing", NewSig() + Line(std::string("ERRSIG 852159C0492E9185 22 8 01 1796702730 9 ") + kFpr) +
                          Line("NO_PUBKEY 852159C0492E9185"),
       false, {.state = SignatureState::kKeyMissing, .fingerprint = kFpr}},
      {"key missing, no issuer fingerprint", NewSig() + Line("ERRSIG 852159C0492E9185 22 8 01 1796702730 9 -"), false,
       {.state = SignatureState::kKeyMissing, .fingerprint = "852159C0492E9185"}},
      {"algorithm unknown to GnuPG", NewSig() + Line("ERRSIG 852159C0492E9185 99 8 01 1796702730 4"), true,
       {.state = SignatureState::kNotChecked, .problem = "Unsupported algorithm"}},
      {"damaged clear-signed message", Line("NODATA 3") + Line("NODATA 4"), true, {.state = SignatureState::kBad}},
      {"signature file of another tool", Line("NODATA 1") + Line("NODATA 2"), false,
       {.state = SignatureState::kNotChecked, .problem = "\"SUMS.sig\" holds no OpenPGP signature"}},
      {"nothing said", "gpg: can't open 'SUMS.sig'\n", false,
       {.state = SignatureState::kNotChecked, .problem = "GnuPG could not check it"}},
      {"a user ID with a line break", NewSig() + Line("GOODSIG 852159C0492E9185 Good%0ASigner 100%25") + ValidSig(),
       true, {.state = SignatureState::kGood, .signer = "Good\nSigner 100%", .fingerprint = kFpr,
              .signed_at = 1546300800}},
      // Two signatures: one that fails outweighs a good one, and a good one
      // a key that is missing.
      {"good and bad", good + Line("TRUST_ULTIMATE 0 pgp") + NewSig() + Line("BADSIG 1 Other <o@example.org>"), true,
       {.state = SignatureState::kBad}},
      {"missing and good", NewSig() + Line("ERRSIG 1 22 8 01 1796702730 9 -") + good, true,
       Signed(SignatureState::kGood)},
  };
  for (const auto& c : cases)
    EXPECT_EQ(FindingOfStatusLines(c.status, c.clear_signed, "SUMS.sig"), c.expected) << c.name;
}

TEST(GpgStatusTest, LinesSayWhatWasFound) {
  SignatureFinding expired_key = Signed(SignatureState::kGood, false, true);
  SignatureFinding odd_signer = Signed(SignatureState::kGood, true);
  odd_signer.signer = "A\nB\x7f";
  SignatureFinding expired_signature = Signed(SignatureState::kSignatureExpired);
  expired_signature.expires_at = 1546387200;
  const std::string by = std::string("Good Signer <good@example.org> (key ") + kFpr + ")";
  const struct {
    SignatureFinding finding;
    std::vector<std::string> lines;
    bool fails;
  } cases[] = {
      {{}, {}, false},
      {Signed(SignatureState::kGood, true), {"The check file's signature is good: signed by " + by + "."}, false},
      {Signed(SignatureState::kGood),
       {"The check file's signature is good: signed by " + by + ".",
        std::string("Warning: no key you trust certifies this key: make sure ") + kFpr + " is the publisher's."},
       false},
      {expired_key,
       {"The check file's signature is good: signed by " + by + ".",
        "Note: the key has expired since; it made this signature on 2019-01-01.",
        std::string("Warning: no key you trust certifies this key: make sure ") + kFpr + " is the publisher's."},
       false},
      {odd_signer,
       {std::string("The check file's signature is good: signed by A\\x0aB\\x7f (key ") + kFpr + ")."}, false},
      {{.state = SignatureState::kBad}, {"The check file's signature is BAD."}, true},
      {Signed(SignatureState::kKeyRevoked), {"The check file's signature is by a REVOKED key: " + by + "."}, true},
      {expired_signature, {"The check file's signature EXPIRED on 2019-01-02: signed by " + by + "."}, true},
      {Signed(SignatureState::kKeyDistrusted),
       {"The check file's signature is by a key you do NOT trust: " + by + "."}, true},
      {{.state = SignatureState::kKeyMissing, .fingerprint = kFpr},
       {std::string("The check file is signed by key ") + kFpr +
            ", which is not in your keyring: the signature was not checked.",
        std::string("Fetch the key with \"gpg --recv-keys ") + kFpr + "\", or from the publisher, and verify again."},
       false},
      {{.state = SignatureState::kNotChecked, .problem = "\"SUMS.sig\" cannot be read: Permission denied"},
       {"The check file's signature was not checked: \"SUMS.sig\" cannot be read: Permission denied."}, false},
#ifdef _WIN32
      {{.state = SignatureState::kNoGnuPG},
       {"GnuPG is not installed (Gpg4win): the check file's signature was not checked."}, false},
#else
      {{.state = SignatureState::kNoGnuPG}, {"GnuPG is not installed: the check file's signature was not checked."},
       false},
#endif
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SignatureLines(c.finding), c.lines);
    EXPECT_EQ(c.finding.Fails(), c.fails) << (c.lines.empty() ? "none" : c.lines[0]);
  }
}

}  // namespace
}  // namespace quillora

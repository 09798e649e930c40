#include "signatures/signature_finding.h"

#include <ctime>

namespace quillora {
namespace {

// A user ID may hold any byte; a line of the result box must stay one line.
std::string Shown(const std::string& text) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string shown;
  for (const char ch : text) {
    const auto byte = static_cast<unsigned char>(ch);
    if (byte < 0x20 || byte == 0x7f) {
      shown += "\\x";
      shown += kHex[byte >> 4];
      shown += kHex[byte & 0xf];
    } else {
      shown += ch;
    }
  }
  return shown;
}

// A day as the signer's and the user's clocks agree on it: UTC, 2024-05-31.
std::string Day(std::int64_t seconds) {
  const std::time_t time = static_cast<std::time_t>(seconds);
  std::tm parts{};
#ifdef _WIN32
  if (::gmtime_s(&parts, &time) != 0) return "?";
#else
  if (::gmtime_r(&time, &parts) == nullptr) return "?";
#endif
  char text[16];
  std::strftime(text, sizeof text, "%Y-%m-%d", &parts);
  return text;
}

// Lower ranks win: failures first, then passes, then what says nothing.
int Rank(const SignatureFinding& f) {
  switch (f.state) {
    case SignatureState::kBad: return 0;
    case SignatureState::kKeyRevoked: return 1;
    case SignatureState::kSignatureExpired: return 2;
    case SignatureState::kKeyDistrusted: return 3;
    case SignatureState::kGood: return 4 + (f.key_certified ? 0 : 2) + (f.key_expired ? 1 : 0);
    case SignatureState::kKeyMissing: return 8;
    case SignatureState::kNotChecked: return 9;
    case SignatureState::kNoGnuPG: return 10;
    case SignatureState::kNone: break;
  }
  return 11;
}

}  // namespace

bool SignatureFinding::Fails() const {
  switch (state) {
    case SignatureState::kBad:
    case SignatureState::kKeyRevoked:
    case SignatureState::kSignatureExpired:
    case SignatureState::kKeyDistrusted: return true;
    default: return false;
  }
}

SignatureFinding Trimmed(SignatureFinding f) {
  SignatureFinding kept;
  kept.state = f.state;
  switch (f.state) {
    case SignatureState::kGood:
    case SignatureState::kKeyRevoked:
    case SignatureState::kSignatureExpired:
    case SignatureState::kKeyDistrusted:
      kept.signer = std::move(f.signer);
      kept.fingerprint = std::move(f.fingerprint);
      kept.signed_at = f.signed_at;
      kept.expires_at = f.expires_at;
      kept.key_expired = f.state == SignatureState::kGood && f.key_expired;
      kept.key_certified = f.state == SignatureState::kGood && f.key_certified;
      break;
    case SignatureState::kKeyMissing: kept.fingerprint = std::move(f.fingerprint); break;
    case SignatureState::kNotChecked: kept.problem = std::move(f.problem); break;
    default: break;
  }
  return kept;
}

SignatureFinding WorstOrBest(const std::vector<SignatureFinding>& findings) {
  const SignatureFinding* chosen = nullptr;
  for (const SignatureFinding& f : findings)
    if (chosen == nullptr || Rank(f) < Rank(*chosen)) chosen = &f;
  return chosen != nullptr ? *chosen : SignatureFinding{};
}

SignatureFinding NoSignatureIn(bool clear_signed, const std::string& signature_file_name) {
  SignatureFinding finding;
  if (clear_signed) {
    finding.state = SignatureState::kBad;
  } else {
    finding.state = SignatureState::kNotChecked;
    finding.problem = "\"" + signature_file_name + "\" holds no OpenPGP signature";
  }
  return finding;
}

std::vector<std::string> SignatureLines(const SignatureFinding& f) {
  const std::string by = Shown(f.signer) + " (key " + f.fingerprint + ")";
  switch (f.state) {
    case SignatureState::kNone: return {};
    case SignatureState::kGood: {
      std::vector<std::string> lines = {"The check file's signature is good: signed by " + by + "."};
      if (f.key_expired)
        lines.push_back("Note: the key has expired since; it made this signature on " + Day(f.signed_at) + ".");
      if (!f.key_certified)
        lines.push_back("Warning: no key you trust certifies this key: make sure " + f.fingerprint +
                        " is the publisher's.");
      return lines;
    }
    case SignatureState::kBad: return {"The check file's signature is BAD."};
    case SignatureState::kKeyRevoked: return {"The check file's signature is by a REVOKED key: " + by + "."};
    case SignatureState::kSignatureExpired:
      return {"The check file's signature EXPIRED on " + Day(f.expires_at) + ": signed by " + by + "."};
    case SignatureState::kKeyDistrusted:
      return {"The check file's signature is by a key you do NOT trust: " + by + "."};
    case SignatureState::kKeyMissing:
      return {"The check file is signed by key " + f.fingerprint +
                  ", which is not in your keyring: the signature was not checked.",
              "Fetch the key with \"gpg --recv-keys " + f.fingerprint +
                  "\", or from the publisher, and verify again."};
    case SignatureState::kNoGnuPG:
#ifdef _WIN32
      return {"GnuPG is not installed (Gpg4win): the check file's signature was not checked."};
#else
      return {"GnuPG is not installed: the check file's signature was not checked."};
#endif
    case SignatureState::kNotChecked:
      return {"The check file's signature was not checked: " + Shown(f.problem) + "."};
  }
  return {};
}

}  // namespace quillora

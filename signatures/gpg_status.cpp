#include "signatures/gpg_status.h"

#include <cstdlib>
#include <vector>

namespace quillora {
namespace {

constexpr std::string_view kLead = "[GNUPG:] ";

// The next word of rest, taken off it.
std::string_view Word(std::string_view& rest) {
  const std::size_t end = rest.find(' ');
  const std::string_view word = rest.substr(0, end);
  rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
  return word;
}

std::int64_t Number(std::string_view word) { return std::strtoll(std::string(word).c_str(), nullptr, 10); }

// gpg writes "%", CR, LF and other control bytes of a user ID as %XX.
std::string Unescaped(std::string_view text) {
  std::string plain;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      const std::string hex(text.substr(i + 1, 2));
      char* end = nullptr;
      const long byte = std::strtol(hex.c_str(), &end, 16);
      if (end == hex.c_str() + 2) {
        plain += static_cast<char>(byte);
        i += 2;
        continue;
      }
    }
    plain += text[i];
  }
  return plain;
}

// The words of ERRSIG: key ID, algorithms, class, time, GnuPG's reason and,
// from gpg 2.2.7 on, the issuer's fingerprint.
SignatureFinding OfErrsig(std::string_view rest) {
  SignatureFinding f;
  const std::string_view key_id = Word(rest);
  for (int i = 0; i < 4; ++i) Word(rest);
  const std::string_view reason = Word(rest);
  const std::string_view fingerprint = Word(rest);
  if (reason == "9") {
    f.state = SignatureState::kKeyMissing;
    f.fingerprint = std::string(fingerprint.empty() || fingerprint == "-" ? key_id : fingerprint);
  } else {
    f.state = SignatureState::kNotChecked;
    f.problem = reason == "4" ? "Unsupported algorithm" : "GnuPG could not check it";
  }
  return f;
}

}  // namespace

SignatureFinding FindingOfStatusLines(std::string_view status, bool clear_signed,
                                      const std::string& signature_file_name) {
  std::vector<SignatureFinding> findings;
  SignatureFinding current;
  bool no_data = false;
  const auto close = [&] {
    if (current.state != SignatureState::kNone) findings.push_back(Trimmed(std::move(current)));
    current = SignatureFinding{};
  };
  while (!status.empty()) {
    const std::size_t end = status.find('\n');
    std::string_view line = status.substr(0, end);
    status = end == std::string_view::npos ? std::string_view() : status.substr(end + 1);
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (!line.starts_with(kLead)) continue;
    std::string_view rest = line.substr(kLead.size());
    const std::string_view keyword = Word(rest);
    const auto signed_by = [&](SignatureState state) {
      current.state = state;
      Word(rest);  // the key ID: VALIDSIG names the primary key's fingerprint
      current.signer = Unescaped(rest);
    };
    if (keyword == "NEWSIG") {
      close();
    } else if (keyword == "GOODSIG") {
      signed_by(SignatureState::kGood);
    } else if (keyword == "EXPKEYSIG") {
      signed_by(SignatureState::kGood);
      current.key_expired = true;
    } else if (keyword == "EXPSIG") {
      signed_by(SignatureState::kSignatureExpired);
    } else if (keyword == "REVKEYSIG") {
      signed_by(SignatureState::kKeyRevoked);
    } else if (keyword == "BADSIG") {
      signed_by(SignatureState::kBad);
    } else if (keyword == "ERRSIG") {
      current = OfErrsig(rest);
    } else if (keyword == "VALIDSIG") {
      // Signing key, day, time, end of the signature, version, reserved,
      // algorithms, class, primary key.
      Word(rest), Word(rest);
      current.signed_at = Number(Word(rest));
      current.expires_at = Number(Word(rest));
      for (int i = 0; i < 5; ++i) Word(rest);
      current.fingerprint = std::string(Word(rest));
    } else if (keyword == "TRUST_FULLY" || keyword == "TRUST_ULTIMATE") {
      current.key_certified = true;
    } else if (keyword == "TRUST_NEVER") {
      if (current.state == SignatureState::kGood) current.state = SignatureState::kKeyDistrusted;
    } else if (keyword == "NODATA") {
      no_data = true;
    }
  }
  close();
  if (!findings.empty()) return WorstOrBest(findings);
  if (no_data) return NoSignatureIn(clear_signed, signature_file_name);
  SignatureFinding none;
  none.state = SignatureState::kNotChecked;
  none.problem = "GnuPG could not check it";
  return none;
}

}  // namespace quillora

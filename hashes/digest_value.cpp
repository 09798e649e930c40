#include "hashes/digest_value.h"

#include <algorithm>

namespace quillora {
namespace {

constexpr std::string_view kHexDigits = "0123456789abcdef";
constexpr std::string_view kBase64Digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int HexDigitValue(char ch) {
  if (ch >= '0' && ch <= '9') return ch - '0';
  if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
  if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
  return -1;
}

int Base64DigitValue(char ch) {
  const std::size_t at = kBase64Digits.find(ch);
  return at == std::string_view::npos ? -1 : static_cast<int>(at);
}

}  // namespace

bool operator==(const DigestValue& a, const DigestValue& b) {
  return a.size == b.size && std::equal(a.bytes.begin(), a.bytes.begin() + a.size, b.bytes.begin());
}

std::string HexText(const DigestValue& digest) {
  std::string text(digest.size * 2, '\0');
  for (std::size_t i = 0; i < digest.size; ++i) {
    text[2 * i] = kHexDigits[digest.bytes[i] >> 4];
    text[2 * i + 1] = kHexDigits[digest.bytes[i] & 0xF];
  }
  return text;
}

std::string Base64Text(const DigestValue& digest) {
  std::string text;
  text.reserve(Base64Length(digest.size));
  for (std::size_t i = 0; i < digest.size; i += 3) {
    const std::size_t left = digest.size - i;
    std::uint32_t group = std::uint32_t{digest.bytes[i]} << 16;
    if (left > 1) group |= std::uint32_t{digest.bytes[i + 1]} << 8;
    if (left > 2) group |= digest.bytes[i + 2];
    text += kBase64Digits[group >> 18];
    text += kBase64Digits[(group >> 12) & 63];
    text += left > 1 ? kBase64Digits[(group >> 6) & 63] : '=';
    text += left > 2 ? kBase64Digits[group & 63] : '=';
  }
  return text;
}

std::optional<DigestValue> ParseHexDigest(std::string_view text) {
  if (text.empty() || text.size() % 2 != 0 || text.size() > 2 * kMaxDigestSize) return std::nullopt;
  DigestValue digest;
  digest.size = text.size() / 2;
  for (std::size_t i = 0; i < digest.size; ++i) {
    const int high = HexDigitValue(text[2 * i]);
    const int low = HexDigitValue(text[2 * i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    digest.bytes[i] = static_cast<std::uint8_t>(high << 4 | low);
  }
  return digest;
}

std::optional<DigestValue> ParseBase64Digest(std::string_view text) {
  if (text.empty() || text.size() % 4 != 0 || text.size() > Base64Length(kMaxDigestSize)) return std::nullopt;
  const std::size_t padding = text.ends_with("==") ? 2 : text.ends_with('=') ? 1 : 0;
  DigestValue digest;
  digest.size = text.size() / 4 * 3 - padding;
  if (digest.size > kMaxDigestSize) return std::nullopt;
  std::uint32_t bits = 0;
  std::size_t out = 0;
  for (std::size_t i = 0; i < text.size() - padding; ++i) {
    const int value = Base64DigitValue(text[i]);
    if (value < 0) return std::nullopt;
    bits = bits << 6 | static_cast<std::uint32_t>(value);
    if (i % 4 == 3) {
      for (int shift = 16; shift >= 0; shift -= 8) digest.bytes[out++] = static_cast<std::uint8_t>(bits >> shift);
      bits = 0;
    }
  }
  // The last group holds 2 bytes in 18 bits, or 1 in 12: the spare low bits must be 0.
  if (padding == 1) {
    if ((bits & 0x3) != 0) return std::nullopt;
    digest.bytes[out++] = static_cast<std::uint8_t>(bits >> 10);
    digest.bytes[out++] = static_cast<std::uint8_t>(bits >> 2);
  } else if (padding == 2) {
    if ((bits & 0xF) != 0) return std::nullopt;
    digest.bytes[out++] = static_cast<std::uint8_t>(bits >> 4);
  }
  return digest;
}

}  // namespace quillora

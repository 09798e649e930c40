// A digest's bytes, and the two texts check files write them in: lower-case
// hexadecimal (every sums layout) and base64 (`cksum --base64`: the standard
// alphabet, padded with "="). Pure functions over memory; any digest of this
// program fits.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace quillora {

// The longest digest of any kind, in bytes (SHA-512, SHA3-512, BLAKE2b-512).
inline constexpr std::size_t kMaxDigestSize = 64;

// The bytes of one digest, held in place: no allocation, cheap to copy.
struct DigestValue {
  std::array<std::uint8_t, kMaxDigestSize> bytes{};
  std::size_t size = 0;  // bytes in use, at most kMaxDigestSize

  std::span<const std::uint8_t> view() const { return {bytes.data(), size}; }
  friend bool operator==(const DigestValue& a, const DigestValue& b);
};

// How a check file wrote a digest.
enum class DigestEncoding : std::uint8_t { kHex, kBase64 };

// The digest as text: two lower-case hexadecimal digits per byte; or base64,
// four characters per three bytes with "=" padding, as `cksum --base64` writes.
std::string HexText(const DigestValue& digest);
std::string Base64Text(const DigestValue& digest);

// The digest a text holds; nothing when the text is not one. Hexadecimal:
// an even number of digits of either case, 2 to 2 * kMaxDigestSize. Base64:
// whole groups of four from the standard alphabet, padding only at the end,
// and no stray bits in the last group, so that only the text `cksum --base64`
// writes for a digest reads as that digest; 1 to kMaxDigestSize bytes.
std::optional<DigestValue> ParseHexDigest(std::string_view text);
std::optional<DigestValue> ParseBase64Digest(std::string_view text);

// The length of the base64 text of a digest of `bytes` bytes, padding included.
constexpr std::size_t Base64Length(std::size_t bytes) { return (bytes + 2) / 3 * 4; }

}  // namespace quillora

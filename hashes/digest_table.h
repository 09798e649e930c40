// Every digest this program knows, in one table: its name, its length, the
// names `cksum -a` takes for it, the tags BSD-style lines give it, and the
// check-file names that imply it. Nothing else in the code lists digests:
// each question about them is a lookup here.
//
// MD5 is a row like the others, but a file of MD5 alone is digested by this
// program's own engine (md5/); streaming_digest.h computes every other
// digest (BLAKE2b on blake2b/'s engine, the rest through libgcrypt), and MD5
// too where a pass needs it beside another.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace quillora {

// The table's rows, in its order. Where several digests fit a line, this
// order is the order they are tried in.
//
// BLAKE2b has a row for each length b2sum -l takes, 1 to 64 bytes, in a
// run from kBlake2b8 to kBlake2b512 (Blake2bOfBytes gives any of them);
// only the lengths the code names have names here.
enum class DigestId : std::uint8_t {
  kMd5,
  kSha1,
  kSha224,
  kSha256,
  kSha384,
  kSha512,
  kSha512_224,
  kSha512_256,
  kSha3_224,
  kSha3_256,
  kSha3_384,
  kSha3_512,
  kBlake2b8,
  kBlake2b32 = kBlake2b8 + 3,
  kBlake2b128 = kBlake2b8 + 15,
  kBlake2b160 = kBlake2b8 + 19,
  kBlake2b224 = kBlake2b8 + 27,
  kBlake2b256 = kBlake2b8 + 31,
  kBlake2b384 = kBlake2b8 + 47,
  kBlake2b512 = kBlake2b8 + 63,
  kBlake2s256,
  kSm3,
  kCrc32,
};
inline constexpr std::size_t kDigestCount = static_cast<std::size_t>(DigestId::kCrc32) + 1;

// The longest BLAKE2b, in bytes; its row is kBlake2b512.
inline constexpr std::size_t kLongestBlake2b = 64;

// The BLAKE2b row of `bytes` bytes, 1 to 64.
constexpr DigestId Blake2bOfBytes(std::size_t bytes) {
  return static_cast<DigestId>(static_cast<std::size_t>(DigestId::kBlake2b8) + bytes - 1);
}

// The bytes of a BLAKE2b row (1 to 64), or 0 for any other digest.
constexpr std::size_t Blake2bBytesOf(DigestId id) {
  const auto first = static_cast<std::size_t>(DigestId::kBlake2b8), at = static_cast<std::size_t>(id);
  return at >= first && at < first + kLongestBlake2b ? at - first + 1 : 0;
}

// A set of digests: the candidates a line's digest may be. Iterates in the
// table's order.
class DigestSet {
 public:
  constexpr DigestSet() = default;
  constexpr DigestSet(std::initializer_list<DigestId> ids) {
    for (DigestId id : ids) insert(id);
  }
  static constexpr DigestSet All() {
    DigestSet set;
    for (std::size_t i = 0; i < kDigestCount; ++i) set.insert(static_cast<DigestId>(i));
    return set;
  }

  constexpr void insert(DigestId id) { words_[WordOf(id)] |= BitOf(id); }
  constexpr bool contains(DigestId id) const { return (words_[WordOf(id)] & BitOf(id)) != 0; }
  constexpr bool empty() const { return (words_[0] | words_[1]) == 0; }
  constexpr int size() const { return std::popcount(words_[0]) + std::popcount(words_[1]); }
  constexpr DigestSet operator&(DigestSet other) const {
    return DigestSet(words_[0] & other.words_[0], words_[1] & other.words_[1]);
  }
  constexpr DigestSet operator|(DigestSet other) const {
    return DigestSet(words_[0] | other.words_[0], words_[1] | other.words_[1]);
  }
  constexpr bool operator==(const DigestSet&) const = default;

  class Iterator {
   public:
    constexpr Iterator(std::uint64_t low, std::uint64_t high) : low_(low), high_(high) {}
    constexpr DigestId operator*() const {
      return static_cast<DigestId>(low_ != 0 ? std::countr_zero(low_) : 64 + std::countr_zero(high_));
    }
    constexpr Iterator& operator++() {
      if (low_ != 0) {
        low_ &= low_ - 1;
      } else {
        high_ &= high_ - 1;
      }
      return *this;
    }
    constexpr bool operator==(const Iterator&) const = default;

   private:
    std::uint64_t low_, high_;
  };
  constexpr Iterator begin() const { return Iterator(words_[0], words_[1]); }
  constexpr Iterator end() const { return Iterator(0, 0); }

 private:
  static_assert(kDigestCount <= 128, "a DigestSet holds 128 digests");
  constexpr DigestSet(std::uint64_t low, std::uint64_t high) : words_{low, high} {}
  static constexpr std::size_t WordOf(DigestId id) { return static_cast<std::size_t>(id) / 64; }
  static constexpr std::uint64_t BitOf(DigestId id) { return std::uint64_t{1} << (static_cast<unsigned>(id) % 64); }
  std::uint64_t words_[2] = {0, 0};
};

// One row. The word lists are words separated by single blanks.
struct DigestInfo {
  DigestId id;
  std::string_view name;  // as the program shows it: "SHA-256", "BLAKE2b-256", "CRC-32"
  std::size_t size;       // bytes
  // `cksum -a NAME [-l BITS]`: the name of its family ("sha2", "blake2b";
  // empty when cksum has none), the -l that picks this row (0 when the name
  // alone does), and a name that picks it with no -l: cksum's older one
  // ("sha256"), or this program's where cksum has none ("blake2s"); or empty.
  std::string_view cksum_name;
  int cksum_bits;
  std::string_view alone_name;
  // The family of a digest whose length the user picks freely in steps of
  // 8 bits (b2sum -l): "BLAKE2b". Empty for the others.
  std::string_view any_length_family;
  std::string_view tags;  // the BSD-style tags of coreutils, OpenSSL 1 and 3, rhash
  // Check-file names that imply this digest, the one `make` writes first
  // ("SHA256SUMS", "SM3SUMS"); empty for a digest make never writes.
  std::string_view file_names;
  std::string_view extensions;  // check-file extensions that imply it, without the dot: "sha256"
  // libgcrypt's GCRY_MD_* number; GCRY_MD_NONE (0) for BLAKE2b, which
  // blake2b/ computes at every length.
  int library_algorithm;
};

// Every row, in the order of DigestId.
std::span<const DigestInfo> AllDigests();

// Calls each(word) for each word of one of a row's lists (tags, file_names,
// extensions: words separated by single blanks), in order.
template <class Each>
void ForEachWord(std::string_view words, Each each) {
  while (!words.empty()) {
    const std::size_t blank = words.find(' ');
    each(words.substr(0, blank));
    if (blank == std::string_view::npos) break;
    words.remove_prefix(blank + 1);
  }
}
// The first word of such a list: the name a row writes ("SHA256", "SHA256SUMS").
inline std::string_view FirstWord(std::string_view words) { return words.substr(0, words.find(' ')); }

// Whether text ends with end, ASCII letter case ignored.
bool EndsWithNoCase(std::string_view text, std::string_view end);
const DigestInfo& InfoOf(DigestId id);

// The digest a BSD-style tag names, the tag as any writer spells it (letter
// case ignored): "SHA256", "SHA2-256", "SHA256 " padded by rhash without its
// blanks, "BLAKE2b" (512 bits), "BLAKE2b-256". Nothing for any other text.
std::optional<DigestId> DigestByTag(std::string_view tag);

// What `cksum -a name -l bits` names (bits 0: no -l), and the names cksum
// lacks that this program gives a digest of its own (alone_name). A family name without
// bits names the whole family ("sha2", "sha3", "blake2b"), as when cksum
// checks and the line decides; when making, b2sum's default is the family's
// last (longest) member. An empty set: cksum takes the name, but the family
// has no digest of that length (sha3 -l 200). Nothing: not a name of a
// digest this program knows ("crc", "sysv", "md4").
std::optional<DigestSet> DigestsByCksumName(std::string_view name, int bits = 0);

// Every name DigestsByCksumName takes, each once, in the table's order (a
// family's name before its members' own): the one list of names the help,
// the completion and the manual page give for `-a`.
std::span<const std::string_view> CksumNames();

// A check file's name without one trailing ".txt" or ".asc" (a signed or
// renamed copy), letter case ignored: "SHA256SUMS" for "SHA256SUMS.Asc".
std::string_view WithoutTextSuffix(std::string_view file_name);

// The digests a check file's name implies, from its last name ("SHA256SUMS",
// "disc.iso.sha256", "B2SUMS", "x.sfv"), letter case ignored, after one
// trailing ".txt" or ".asc" is cut. Empty when the name says nothing.
DigestSet DigestsByFileName(std::string_view file_name);

// Every digest of `bytes` bytes: the candidates of a bare digest of that
// length, in hexadecimal or base64, when nothing else names them.
DigestSet DigestsOfSize(std::size_t bytes);

}  // namespace quillora

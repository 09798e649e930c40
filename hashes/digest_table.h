// Every digest this program knows, in one table: its name, its length, the
// names `cksum -a` takes for it, the tags BSD-style lines give it, and the
// check-file names that imply it. Nothing else in the code lists digests:
// each question about them is a lookup here.
//
// MD5 is a row like the others, but a file of MD5 alone is digested by this
// program's own engine (md5/); streaming_digest.h computes every other
// digest, and MD5 too where a pass needs it beside another.
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
  kBlake2b160,
  kBlake2b256,
  kBlake2b384,
  kBlake2b512,
  kBlake2s256,
  kSm3,
  kCrc32,
};
inline constexpr std::size_t kDigestCount = static_cast<std::size_t>(DigestId::kCrc32) + 1;

// A set of digests: the candidates a line's digest may be. Iterates in the
// table's order.
class DigestSet {
 public:
  constexpr DigestSet() = default;
  constexpr DigestSet(std::initializer_list<DigestId> ids) {
    for (DigestId id : ids) insert(id);
  }
  static constexpr DigestSet All() { return DigestSet((std::uint32_t{1} << kDigestCount) - 1); }

  constexpr void insert(DigestId id) { bits_ |= Bit(id); }
  constexpr bool contains(DigestId id) const { return (bits_ & Bit(id)) != 0; }
  constexpr bool empty() const { return bits_ == 0; }
  constexpr int size() const { return std::popcount(bits_); }
  constexpr DigestSet operator&(DigestSet other) const { return DigestSet(bits_ & other.bits_); }
  constexpr DigestSet operator|(DigestSet other) const { return DigestSet(bits_ | other.bits_); }
  constexpr bool operator==(const DigestSet&) const = default;

  class Iterator {
   public:
    constexpr explicit Iterator(std::uint32_t left) : left_(left) {}
    constexpr DigestId operator*() const { return static_cast<DigestId>(std::countr_zero(left_)); }
    constexpr Iterator& operator++() {
      left_ &= left_ - 1;
      return *this;
    }
    constexpr bool operator==(const Iterator&) const = default;

   private:
    std::uint32_t left_;
  };
  constexpr Iterator begin() const { return Iterator(bits_); }
  constexpr Iterator end() const { return Iterator(0); }

 private:
  constexpr explicit DigestSet(std::uint32_t bits) : bits_(bits) {}
  static constexpr std::uint32_t Bit(DigestId id) { return std::uint32_t{1} << static_cast<unsigned>(id); }
  std::uint32_t bits_ = 0;
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
  // Whether a bare untagged digest of this length, from a file whose name
  // says nothing, may be this one. Off for the digests only ever published
  // with their tag: each candidate costs a digest of every file.
  bool guessed_by_length;
  std::string_view tags;        // the BSD-style tags of coreutils, OpenSSL 1 and 3, rhash
  std::string_view file_names;  // check-file names that imply this digest: "SHA256SUMS"
  std::string_view extensions;  // check-file extensions that imply it, without the dot: "sha256"
  int library_algorithm;        // libgcrypt's GCRY_MD_* number
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
// last (longest) member. An empty set: cksum takes the name, but this
// program has no digest at that length (blake2b -l 128). Nothing: not a
// name of a digest this program knows ("crc", "sysv", "md4").
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

// Every digest of `bytes` bytes.
DigestSet DigestsOfSize(std::size_t bytes);
// The digests a bare digest text of that many characters may be, in hex or
// base64, when nothing else names them (those with guessed_by_length).
DigestSet DigestsByHexLength(std::size_t chars);
DigestSet DigestsByBase64Length(std::size_t chars);

// A name for a digest of `bytes` bytes in a family this program has no such
// length of ("BLAKE2b-128" where `family` holds the BLAKE2b rows): what a
// line of it is called while it is left unchecked. Empty unless every
// member of `family` belongs to one any-length family that has no member of
// that length and a longer one.
std::string MissingVariantName(DigestSet family, std::size_t bytes);

}  // namespace quillora

#include "hashes/digest_table.h"

#include <algorithm>
#include <array>
#include <vector>

#include <gcrypt.h>

#include "hashes/digest_value.h"

namespace quillora {
namespace {

using enum DigestId;

// The tags are those the tools write: coreutils (`sha256sum --tag`, `b2sum
// --tag`, `cksum`), OpenSSL 3 (`SHA2-256(name)= `) and 1.1 (`SHA256(name)= `,
// `BLAKE2b512`), rhash --bsd (`SHA1  (name) = `, `BLAKE2s`, `CRC32`).
constexpr std::array<DigestInfo, kDigestCount> kDigests{{
    {kMd5, "MD5", 16, "md5", 0, "", "", true, "MD5", "MD5SUMS MD5SUM", "md5 md5sum", GCRY_MD_MD5},
    {kSha1, "SHA-1", 20, "sha1", 0, "", "", true, "SHA1", "SHA1SUMS SHA1SUM", "sha1 sha1sum", GCRY_MD_SHA1},
    {kSha224, "SHA-224", 28, "sha2", 224, "sha224", "", true, "SHA224 SHA2-224", "SHA224SUMS SHA224SUM",
     "sha224 sha224sum", GCRY_MD_SHA224},
    {kSha256, "SHA-256", 32, "sha2", 256, "sha256", "", true, "SHA256 SHA2-256", "SHA256SUMS SHA256SUM SHASUMS256",
     "sha256 sha256sum", GCRY_MD_SHA256},
    {kSha384, "SHA-384", 48, "sha2", 384, "sha384", "", true, "SHA384 SHA2-384", "SHA384SUMS SHA384SUM",
     "sha384 sha384sum", GCRY_MD_SHA384},
    {kSha512, "SHA-512", 64, "sha2", 512, "sha512", "", true, "SHA512 SHA2-512", "SHA512SUMS SHA512SUM",
     "sha512 sha512sum", GCRY_MD_SHA512},
    {kSha512_224, "SHA-512/224", 28, "", 0, "sha512-224", "", false, "SHA512-224 SHA2-512/224", "", "",
     GCRY_MD_SHA512_224},
    {kSha512_256, "SHA-512/256", 32, "", 0, "sha512-256", "", false, "SHA512-256 SHA2-512/256", "", "",
     GCRY_MD_SHA512_256},
    {kSha3_224, "SHA3-224", 28, "sha3", 224, "", "", true, "SHA3-224", "", "", GCRY_MD_SHA3_224},
    {kSha3_256, "SHA3-256", 32, "sha3", 256, "", "", true, "SHA3-256", "", "", GCRY_MD_SHA3_256},
    {kSha3_384, "SHA3-384", 48, "sha3", 384, "", "", true, "SHA3-384", "", "", GCRY_MD_SHA3_384},
    {kSha3_512, "SHA3-512", 64, "sha3", 512, "", "", true, "SHA3-512", "", "", GCRY_MD_SHA3_512},
    {kBlake2b160, "BLAKE2b-160", 20, "blake2b", 160, "", "BLAKE2b", true, "BLAKE2b-160", "B2SUMS", "b2 b2sum",
     GCRY_MD_BLAKE2B_160},
    {kBlake2b256, "BLAKE2b-256", 32, "blake2b", 256, "", "BLAKE2b", true, "BLAKE2b-256", "B2SUMS", "b2 b2sum",
     GCRY_MD_BLAKE2B_256},
    {kBlake2b384, "BLAKE2b-384", 48, "blake2b", 384, "", "BLAKE2b", true, "BLAKE2b-384", "B2SUMS", "b2 b2sum",
     GCRY_MD_BLAKE2B_384},
    {kBlake2b512, "BLAKE2b-512", 64, "blake2b", 512, "", "BLAKE2b", true, "BLAKE2b BLAKE2b-512 BLAKE2b512", "B2SUMS",
     "b2 b2sum", GCRY_MD_BLAKE2B_512},
    {kBlake2s256, "BLAKE2s-256", 32, "", 0, "blake2s", "", true, "BLAKE2s BLAKE2s-256 BLAKE2s256", "", "",
     GCRY_MD_BLAKE2S_256},
    {kSm3, "SM3", 32, "sm3", 0, "", "", false, "SM3", "", "", GCRY_MD_SM3},
    {kCrc32, "CRC-32", 4, "crc32b", 0, "", "", true, "CRC32", "", "sfv", GCRY_MD_CRC32},
}};

constexpr bool RowsInIdOrder() {
  for (std::size_t i = 0; i < kDigests.size(); ++i) {
    if (static_cast<std::size_t>(kDigests[i].id) != i || kDigests[i].size > kMaxDigestSize) return false;
  }
  return true;
}
static_assert(RowsInIdOrder(), "every row at its id's place, and no digest longer than a DigestValue holds");

char LowerAscii(char ch) { return ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch - 'A' + 'a') : ch; }

bool EqualNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return LowerAscii(x) == LowerAscii(y);
         });
}

// Whether `words` (separated by single blanks) holds `word`, letter case ignored.
bool HasWord(std::string_view words, std::string_view word) {
  while (!words.empty()) {
    const std::size_t blank = words.find(' ');
    if (EqualNoCase(words.substr(0, blank), word)) return true;
    if (blank == std::string_view::npos) break;
    words.remove_prefix(blank + 1);
  }
  return false;
}

template <typename Predicate>
DigestSet RowsWhere(Predicate predicate) {
  DigestSet set;
  for (const DigestInfo& row : kDigests) {
    if (predicate(row)) set.insert(row.id);
  }
  return set;
}

}  // namespace

bool EndsWithNoCase(std::string_view text, std::string_view end) {
  return text.size() >= end.size() && EqualNoCase(text.substr(text.size() - end.size()), end);
}

std::span<const DigestInfo> AllDigests() { return kDigests; }

const DigestInfo& InfoOf(DigestId id) { return kDigests[static_cast<std::size_t>(id)]; }

std::optional<DigestId> DigestByTag(std::string_view tag) {
  if (tag.empty()) return std::nullopt;
  for (const DigestInfo& row : kDigests) {
    if (HasWord(row.tags, tag)) return row.id;
  }
  return std::nullopt;
}

std::optional<DigestSet> DigestsByCksumName(std::string_view name, int bits) {
  if (name.empty()) return std::nullopt;
  bool known = false;
  const DigestSet set = RowsWhere([&](const DigestInfo& row) {
    const bool family = row.cksum_name == name;
    const bool alone = !row.alone_name.empty() && row.alone_name == name;
    known = known || family || alone;
    if (bits == 0) return family || alone;
    return family && row.cksum_bits == bits;
  });
  if (!known) return std::nullopt;
  return set;
}

std::span<const std::string_view> CksumNames() {
  static const std::vector<std::string_view> names = [] {
    std::vector<std::string_view> listed;
    for (const DigestInfo& row : kDigests) {
      for (const std::string_view name : {row.cksum_name, row.alone_name}) {
        if (!name.empty() && std::find(listed.begin(), listed.end(), name) == listed.end()) listed.push_back(name);
      }
    }
    return listed;
  }();
  return names;
}

std::string_view WithoutTextSuffix(std::string_view file_name) {
  for (std::string_view cut : {".txt", ".asc"}) {
    if (EndsWithNoCase(file_name, cut)) return file_name.substr(0, file_name.size() - cut.size());
  }
  return file_name;
}

DigestSet DigestsByFileName(std::string_view file_name) {
  file_name = WithoutTextSuffix(file_name);
  const std::size_t dot = file_name.rfind('.');
  const std::string_view extension = dot == std::string_view::npos ? std::string_view() : file_name.substr(dot + 1);
  return RowsWhere([&](const DigestInfo& row) {
    return HasWord(row.file_names, file_name) || (!extension.empty() && HasWord(row.extensions, extension));
  });
}

DigestSet DigestsOfSize(std::size_t bytes) {
  return RowsWhere([&](const DigestInfo& row) { return row.size == bytes; });
}

DigestSet DigestsByHexLength(std::size_t chars) {
  return RowsWhere([&](const DigestInfo& row) { return row.guessed_by_length && 2 * row.size == chars; });
}

DigestSet DigestsByBase64Length(std::size_t chars) {
  return RowsWhere([&](const DigestInfo& row) { return row.guessed_by_length && Base64Length(row.size) == chars; });
}

std::string MissingVariantName(DigestSet family, std::size_t bytes) {
  if (family.empty() || bytes == 0) return {};
  const std::string_view name = InfoOf(*family.begin()).any_length_family;
  std::size_t longest = 0;
  for (DigestId id : family) {
    const DigestInfo& row = InfoOf(id);
    if (name.empty() || row.any_length_family != name || row.size == bytes) return {};
    longest = std::max(longest, row.size);
  }
  if (bytes > longest) return {};
  return std::string(name) + "-" + std::to_string(bytes * 8);
}

}  // namespace quillora

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
// `BLAKE2b512`), rhash --bsd (`SHA1  (name) = `, `BLAKE2s`, `CRC32`). The
// first check-file name of a row is the one `make -a` writes; a row `make`
// cannot write (no cksum name, or CRC-32's, read from SFV files) has none.
//
// BLAKE2b-512 stands for its family: the rows of its other lengths are made
// from it (Blake2bRow). packaging/check_file_types.cmake reads these rows as
// text, one `{k..., "...", ..., GCRY_MD_...}` each.
constexpr DigestInfo kTypedRows[] = {
    {kMd5, "MD5", 16, "md5", 0, "", "", "MD5", "MD5SUMS MD5SUM", "md5 md5sum", GCRY_MD_MD5},
    {kSha1, "SHA-1", 20, "sha1", 0, "", "", "SHA1", "SHA1SUMS SHA1SUM", "sha1 sha1sum", GCRY_MD_SHA1},
    {kSha224, "SHA-224", 28, "sha2", 224, "sha224", "", "SHA224 SHA2-224", "SHA224SUMS SHA224SUM", "sha224 sha224sum",
     GCRY_MD_SHA224},
    {kSha256, "SHA-256", 32, "sha2", 256, "sha256", "", "SHA256 SHA2-256", "SHA256SUMS SHA256SUM SHASUMS256",
     "sha256 sha256sum", GCRY_MD_SHA256},
    {kSha384, "SHA-384", 48, "sha2", 384, "sha384", "", "SHA384 SHA2-384", "SHA384SUMS SHA384SUM", "sha384 sha384sum",
     GCRY_MD_SHA384},
    {kSha512, "SHA-512", 64, "sha2", 512, "sha512", "", "SHA512 SHA2-512", "SHA512SUMS SHA512SUM", "sha512 sha512sum",
     GCRY_MD_SHA512},
    {kSha512_224, "SHA-512/224", 28, "", 0, "sha512-224", "", "SHA512-224 SHA2-512/224", "SHA512-224SUMS", "", GCRY_MD_SHA512_224},
    {kSha512_256, "SHA-512/256", 32, "", 0, "sha512-256", "", "SHA512-256 SHA2-512/256", "SHA512-256SUMS", "", GCRY_MD_SHA512_256},
    {kSha3_224, "SHA3-224", 28, "sha3", 224, "", "", "SHA3-224", "SHA3-224SUMS", "", GCRY_MD_SHA3_224},
    {kSha3_256, "SHA3-256", 32, "sha3", 256, "", "", "SHA3-256", "SHA3-256SUMS", "", GCRY_MD_SHA3_256},
    {kSha3_384, "SHA3-384", 48, "sha3", 384, "", "", "SHA3-384", "SHA3-384SUMS", "", GCRY_MD_SHA3_384},
    {kSha3_512, "SHA3-512", 64, "sha3", 512, "", "", "SHA3-512", "SHA3-512SUMS", "", GCRY_MD_SHA3_512},
    {kBlake2b512, "BLAKE2b-512", 64, "blake2b", 512, "", "BLAKE2b", "BLAKE2b BLAKE2b-512 BLAKE2b512", "B2SUMS",
     "b2 b2sum", GCRY_MD_NONE},
    {kBlake2s256, "BLAKE2s-256", 32, "", 0, "blake2s", "", "BLAKE2s BLAKE2s-256 BLAKE2s256", "BLAKE2sSUMS", "", GCRY_MD_BLAKE2S_256},
    {kSm3, "SM3", 32, "sm3", 0, "", "", "SM3", "SM3SUMS", "", GCRY_MD_SM3},
    {kCrc32, "CRC-32", 4, "crc32b", 0, "", "", "CRC32", "", "sfv", GCRY_MD_CRC32},
};

// "BLAKE2b-8" to "BLAKE2b-504": the names of the rows made from BLAKE2b-512,
// which are their only tags too.
struct Blake2bNames {
  static constexpr std::string_view kPrefix = "BLAKE2b-";
  char text[kLongestBlake2b - 1][kPrefix.size() + 4] = {};  // up to three digits and the NUL
};

constexpr Blake2bNames MakeBlake2bNames() {
  Blake2bNames names;
  for (std::size_t bytes = 1; bytes < kLongestBlake2b; ++bytes) {
    char* out = names.text[bytes - 1];
    for (const char ch : Blake2bNames::kPrefix) *out++ = ch;
    const std::size_t bits = 8 * bytes;
    if (bits >= 100) *out++ = static_cast<char>('0' + bits / 100);
    if (bits >= 10) *out++ = static_cast<char>('0' + bits / 10 % 10);
    *out = static_cast<char>('0' + bits % 10);
  }
  return names;
}
constexpr Blake2bNames kBlake2bNames = MakeBlake2bNames();

// The row of BLAKE2b's `bytes`-byte digest (shorter than 64), made from the
// 512-bit one's: its own name, length, -l and tag; the family's cksum name
// and check files.
constexpr DigestInfo Blake2bRow(const DigestInfo& longest, std::size_t bytes) {
  DigestInfo row = longest;
  row.id = Blake2bOfBytes(bytes);
  row.name = row.tags = std::string_view(kBlake2bNames.text[bytes - 1]);
  row.size = bytes;
  row.cksum_bits = static_cast<int>(8 * bytes);
  return row;
}

constexpr std::array<DigestInfo, kDigestCount> MakeTable() {
  std::array<DigestInfo, kDigestCount> rows{};
  for (const DigestInfo& row : kTypedRows) rows[static_cast<std::size_t>(row.id)] = row;
  const DigestInfo longest = rows[static_cast<std::size_t>(kBlake2b512)];
  for (std::size_t bytes = 1; bytes < kLongestBlake2b; ++bytes)
    rows[static_cast<std::size_t>(Blake2bOfBytes(bytes))] = Blake2bRow(longest, bytes);
  return rows;
}

constexpr std::array<DigestInfo, kDigestCount> kDigests = MakeTable();

constexpr bool RowsInIdOrder() {
  for (std::size_t i = 0; i < kDigests.size(); ++i) {
    const DigestInfo& row = kDigests[i];
    if (static_cast<std::size_t>(row.id) != i || row.name.empty() || row.size == 0 || row.size > kMaxDigestSize)
      return false;
    // What make writes, it names and reads back.
    if (!row.cksum_name.empty() && row.id != kCrc32 && row.file_names.empty()) return false;
    if ((Blake2bBytesOf(row.id) != 0) != (row.library_algorithm == GCRY_MD_NONE)) return false;
  }
  return true;
}
static_assert(RowsInIdOrder(),
              "every row at its id's place, no digest longer than a DigestValue holds, a check-file name for "
              "every digest make writes, and libgcrypt's number for every digest but BLAKE2b");

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

}  // namespace quillora

#include "hashes/digest_table.h"

#include <set>

#include <gtest/gtest.h>

namespace quillora {
namespace {

using enum DigestId;

constexpr DigestSet kBlake2b{kBlake2b160, kBlake2b256, kBlake2b384, kBlake2b512};

// Tags as the tools write them: coreutils, OpenSSL 3 and 1.1, rhash --bsd.
TEST(DigestTable, Tags) {
  const std::pair<const char*, std::optional<DigestId>> cases[] = {
      {"MD5", kMd5},         {"SHA1", kSha1},           {"SHA256", kSha256},         {"SHA2-256", kSha256},
      {"SHA3-384", kSha3_384}, {"SHA2-512/256", kSha512_256}, {"SHA512-224", kSha512_224}, {"BLAKE2b", kBlake2b512},
      {"BLAKE2B-512", kBlake2b512}, {"BLAKE2b512", kBlake2b512}, {"BLAKE2b-160", kBlake2b160}, {"BLAKE2s", kBlake2s256},
      {"BLAKE2S-256", kBlake2s256}, {"SM3", kSm3}, {"CRC32", kCrc32}, {"BLAKE2b-128", std::nullopt},
      {"MD4", std::nullopt}, {"CRC32C", std::nullopt}, {"SHA", std::nullopt}, {"", std::nullopt},
  };
  for (const auto& [tag, id] : cases) EXPECT_EQ(DigestByTag(tag), id) << tag;
}

TEST(DigestTable, CksumNames) {
  const struct {
    const char* name;
    int bits;
    std::optional<DigestSet> digests;
  } cases[] = {
      {"md5", 0, DigestSet{kMd5}},        {"sha256", 0, DigestSet{kSha256}}, {"sha2", 384, DigestSet{kSha384}},
      {"sha3", 256, DigestSet{kSha3_256}}, {"blake2b", 0, kBlake2b},         {"blake2b", 160, DigestSet{kBlake2b160}},
      {"blake2b", 128, DigestSet{}},      {"sha3", 200, DigestSet{}},        {"sm3", 0, DigestSet{kSm3}},
      {"crc32b", 0, DigestSet{kCrc32}},   {"crc", 0, std::nullopt},          {"SHA256", 0, std::nullopt},
      {"sha2", 0, DigestSet{kSha224, kSha256, kSha384, kSha512}},
      // Names of this program's own, where cksum has none.
      {"blake2s", 0, DigestSet{kBlake2s256}},    {"sha512-224", 0, DigestSet{kSha512_224}},
      {"sha512-256", 0, DigestSet{kSha512_256}}, {"blake2s", 256, DigestSet{}},
  };
  for (const auto& c : cases) EXPECT_EQ(DigestsByCksumName(c.name, c.bits), c.digests) << c.name << " -l " << c.bits;
}

// The one list of -a's names: each name once, and every row of the table
// reached by one of them, alone or with its -l.
TEST(DigestTable, EveryDigestHasACksumName) {
  DigestSet reached;
  std::set<std::string_view> seen;
  for (const std::string_view name : CksumNames()) {
    EXPECT_TRUE(seen.insert(name).second) << name << " twice";
    ASSERT_TRUE(DigestsByCksumName(name)) << name;
    reached = reached | *DigestsByCksumName(name);
  }
  EXPECT_EQ(reached, DigestSet::All());
  EXPECT_EQ(CksumNames().front(), "md5");
}

TEST(DigestTable, FileNames) {
  const std::pair<const char*, DigestSet> cases[] = {
      {"SHA256SUMS", {kSha256}},     {"sha256sums.txt", {kSha256}},  {"SHA256SUMS.asc", {kSha256}},
      {"SHASUMS256.txt", {kSha256}}, {"disc.iso.SHA256", {kSha256}}, {"disc.iso.sha256sum", {kSha256}},
      {"x.sha256.txt", {kSha256}},   {"SHA1SUMS", {kSha1}},          {"x.sha1", {kSha1}},
      {"x.sha512", {kSha512}},       {"CHECKSUM.MD5", {kMd5}},       {"MD5SUMS", {kMd5}},
      {"B2SUMS", kBlake2b},          {"a.b2", kBlake2b},             {"files.SFV", {kCrc32}},
      {"notes.txt", {}},             {"sha256", {}},                 {"SHA256SUMS.gpg", {}},
      {"x.sha256.zip", {}},          {"CHECKSUM", {}},               {"", {}},
  };
  for (const auto& [name, digests] : cases) EXPECT_EQ(DigestsByFileName(name), digests) << name;
}

// A bare length names the digests of that length that are published untagged.
TEST(DigestTable, Lengths) {
  const struct {
    std::size_t hex_chars, base64_chars;
    DigestSet digests;
  } cases[] = {
      {8, 8, {kCrc32}},       {32, 24, {kMd5}},     {40, 28, {kSha1, kBlake2b160}}, {56, 40, {kSha224, kSha3_224}},
      {64, 44, {kSha256, kSha3_256, kBlake2b256, kBlake2s256}}, {96, 64, {kSha384, kSha3_384, kBlake2b384}},
      {128, 88, {kSha512, kSha3_512, kBlake2b512}},             {48, 32, {}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DigestsByHexLength(c.hex_chars), c.digests) << c.hex_chars;
    EXPECT_EQ(DigestsByBase64Length(c.base64_chars), c.digests) << c.base64_chars;
  }
  EXPECT_EQ(DigestsOfSize(32), (DigestSet{kSha256, kSha512_256, kSha3_256, kBlake2b256, kBlake2s256, kSm3}));
}

TEST(DigestTable, MissingVariants) {
  EXPECT_EQ(MissingVariantName(kBlake2b, 16), "BLAKE2b-128");
  for (std::size_t bytes : {0, 32, 65}) EXPECT_EQ(MissingVariantName(kBlake2b, bytes), "") << bytes;
  EXPECT_EQ(MissingVariantName({kSha256}, 16), "");
  EXPECT_EQ(MissingVariantName({kBlake2b256, kSha256}, 16), "");
}

}  // namespace
}  // namespace quillora

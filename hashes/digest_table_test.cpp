#include "hashes/digest_table.h"

#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace quillora {
namespace {

using enum DigestId;

// Every BLAKE2b length, 8 to 512 bits, by cksum's name of the family.
const DigestSet kBlake2b = *DigestsByCksumName("blake2b");

// Tags as the tools write them: coreutils, OpenSSL 3 and 1.1, rhash --bsd;
// b2sum --tag -l N writes BLAKE2b-N for every N but 512.
TEST(DigestTable, Tags) {
  const std::pair<const char*, std::optional<DigestId>> cases[] = {
      {"MD5", kMd5},         {"SHA1", kSha1},           {"SHA256", kSha256},         {"SHA2-256", kSha256},
      {"SHA3-384", kSha3_384}, {"SHA2-512/256", kSha512_256}, {"SHA512-224", kSha512_224}, {"BLAKE2b", kBlake2b512},
      {"BLAKE2B-512", kBlake2b512}, {"BLAKE2b512", kBlake2b512}, {"BLAKE2b-160", kBlake2b160}, {"BLAKE2s", kBlake2s256},
      {"BLAKE2S-256", kBlake2s256}, {"SM3", kSm3}, {"CRC32", kCrc32}, {"BLAKE2b-128", kBlake2b128},
      {"BLAKE2b-8", kBlake2b8}, {"blake2b-504", Blake2bOfBytes(63)}, {"BLAKE2b-520", std::nullopt},
      {"BLAKE2b-12", std::nullopt}, {"BLAKE2b-0", std::nullopt}, {"BLAKE2b256", std::nullopt},
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
      {"md5", 0, DigestSet{kMd5}},       {"sha256", 0, DigestSet{kSha256}}, {"sha2", 384, DigestSet{kSha384}},
      {"sha3", 256, DigestSet{kSha3_256}}, {"blake2b", 160, DigestSet{kBlake2b160}},
      {"blake2b", 128, DigestSet{kBlake2b128}}, {"blake2b", 8, DigestSet{kBlake2b8}}, {"blake2b", 520, DigestSet{}},
      {"sha3", 200, DigestSet{}},        {"sm3", 0, DigestSet{kSm3}},       {"crc32b", 0, DigestSet{kCrc32}},
      {"crc", 0, std::nullopt},          {"SHA256", 0, std::nullopt},
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
      {"B2SUMS", kBlake2b},   {"a.b2", kBlake2b},      {"files.SFV", {kCrc32}},
      {"SM3SUMS", {kSm3}},           {"sha3-256sums", {kSha3_256}},  {"SHA3-512SUMS.txt", {kSha3_512}},
      {"notes.txt", {}},             {"sha256", {}},                 {"SHA256SUMS.gpg", {}},
      {"x.sha256.zip", {}},          {"CHECKSUM", {}},               {"", {}},
  };
  for (const auto& [name, digests] : cases) EXPECT_EQ(DigestsByFileName(name), digests) << name;
}

// A bare digest's candidates are every digest of its length.
TEST(DigestTable, Lengths) {
  const struct {
    std::size_t bytes;
    DigestSet digests;
  } cases[] = {
      {1, {kBlake2b8}},
      {4, {kBlake2b32, kCrc32}},
      {16, {kMd5, kBlake2b128}},
      {20, {kSha1, kBlake2b160}},
      {28, {kSha224, kSha512_224, kSha3_224, kBlake2b224}},
      {32, {kSha256, kSha512_256, kSha3_256, kBlake2b256, kBlake2s256, kSm3}},
      {48, {kSha384, kSha3_384, kBlake2b384}},
      {64, {kSha512, kSha3_512, kBlake2b512}},
      {0, {}},
      {65, {}},
  };
  for (const auto& c : cases) EXPECT_EQ(DigestsOfSize(c.bytes), c.digests) << c.bytes;
}

// The BLAKE2b rows made from the 512-bit one: each its own name, length,
// tag and -l, the family's cksum name and check files, in a run in the
// table's order.
TEST(DigestTable, Blake2bRowsOfEveryLength) {
  DigestId previous = kSha3_512;
  for (std::size_t bytes = 1; bytes <= kLongestBlake2b; ++bytes) {
    const DigestInfo& row = InfoOf(Blake2bOfBytes(bytes));
    const std::string name = "BLAKE2b-" + std::to_string(8 * bytes);
    EXPECT_EQ(row.name, name);
    EXPECT_EQ(row.size, bytes) << name;
    EXPECT_EQ(Blake2bBytesOf(row.id), bytes) << name;
    EXPECT_EQ(static_cast<int>(row.id), static_cast<int>(previous) + 1) << name;
    EXPECT_EQ(DigestByTag(name), row.id);
    EXPECT_EQ(DigestsByCksumName("blake2b", static_cast<int>(8 * bytes)), DigestSet{row.id}) << name;
    EXPECT_EQ(FirstWord(row.file_names), "B2SUMS") << name;
    EXPECT_TRUE(DigestsOfSize(bytes).contains(row.id)) << name;
    previous = row.id;
  }
  EXPECT_EQ(kBlake2b.size(), static_cast<int>(kLongestBlake2b)) << "cksum -a blake2b without -l names them all";
  EXPECT_EQ(InfoOf(kBlake2b256).name, "BLAKE2b-256");
  EXPECT_EQ(FirstWord(InfoOf(kBlake2b512).tags), "BLAKE2b");  // what b2sum --tag writes for 512 bits
  for (DigestId other : {kSha3_512, kBlake2s256, kMd5}) EXPECT_EQ(Blake2bBytesOf(other), 0u);
}

// Sets hold every row, the last one past the first 64 included, and iterate
// in the table's order.
TEST(DigestTable, SetsHoldEveryRowInOrder) {
  const DigestSet all = DigestSet::All();
  EXPECT_EQ(all.size(), static_cast<int>(kDigestCount));
  std::size_t next = 0;
  for (DigestId id : all) EXPECT_EQ(static_cast<std::size_t>(id), next++);
  EXPECT_EQ(next, kDigestCount);
  const DigestSet ends{kCrc32, kMd5, kBlake2b512, kBlake2s256};
  std::vector<DigestId> order;
  for (DigestId id : ends) order.push_back(id);
  EXPECT_EQ(order, (std::vector<DigestId>{kMd5, kBlake2b512, kBlake2s256, kCrc32}));
  EXPECT_EQ((ends & DigestSet{kCrc32, kSm3}), DigestSet{kCrc32});
  EXPECT_EQ((ends | DigestSet{kSm3}).size(), 5);
  EXPECT_FALSE(ends.contains(kSm3));
  EXPECT_TRUE(DigestSet{}.empty());
}

}  // namespace
}  // namespace quillora

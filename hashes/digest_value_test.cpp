#include "hashes/digest_value.h"

#include <gtest/gtest.h>

#include "testing/temp_tree.h"

namespace quillora {
namespace {

// Every length: the texts read back as the bytes they were written from.
TEST(DigestValue, TextsReadBack) {
  const std::string random = testing::RandomBytes(kMaxDigestSize, 3);
  for (std::size_t size = 1; size <= kMaxDigestSize; ++size) {
    DigestValue digest;
    digest.size = size;
    std::copy_n(random.begin(), size, digest.bytes.begin());
    EXPECT_EQ(Base64Text(digest).size(), Base64Length(size));
    EXPECT_EQ(ParseHexDigest(HexText(digest)), digest) << size;
    EXPECT_EQ(ParseBase64Digest(Base64Text(digest)), digest) << size;
  }
}

// Real `cksum --base64` output (MD5 and SHA-1 of nothing) beside the hex
// digests, and texts that only look like digests.
TEST(DigestValue, ParsesOnlyDigests) {
  const auto md5 = ParseHexDigest("D41D8CD98F00B204E9800998ECF8427E");
  ASSERT_TRUE(md5);
  EXPECT_EQ(HexText(*md5), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(ParseBase64Digest("1B2M2Y8AsgTpgAmY7PhCfg=="), md5);
  EXPECT_EQ(HexText(*ParseBase64Digest("2jmj7l5rSw0yVb/vlWAYkK/YBwk=")), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
  for (const char* text : {"", "d41d8cd98f00b204e9800998ecf8427", "g41d8cd98f00b204e9800998ecf8427e", "d4 1d"}) {
    EXPECT_FALSE(ParseHexDigest(text)) << text;
  }
  EXPECT_FALSE(ParseHexDigest(std::string(2 * kMaxDigestSize + 2, 'a')));
  for (const char* text : {"", "1B2M2Y8AsgTpgAmY7PhCfg=", "1B2M2Y8AsgTpgAmY7PhCfg", "1B2M2Y8AsgTpgAmY7PhCfh==",
                           "1B2M2Y8AsgTpgAmY7PhC=g==", "1B2M2Y8AsgTpgAmY7PhCf-==", "====", "A==="}) {
    EXPECT_FALSE(ParseBase64Digest(text)) << text;
  }
  EXPECT_FALSE(ParseBase64Digest(std::string(Base64Length(kMaxDigestSize) + 4, 'A')));
}

}  // namespace
}  // namespace quillora

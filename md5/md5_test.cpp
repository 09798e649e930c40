#include "md5/md5.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include <gtest/gtest.h>


#include "testing/temp_tree.h"

namespace quillora {
namespace {

std::string Hex(const DigestBytes& d) { return LowerAscii(DigestToHex(d)); }

TEST(Md5, Rfc1321Suite) {
  const std::pair<const char*, const char*> suite[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
  };
  for (const auto& [message, digest] : suite) EXPECT_EQ(Hex(DigestOfText(message)), digest) << '"' << message << '"';
}

// Every split of a message must give the digest of the whole, across the
// padding boundaries where a second block is needed.
TEST(Md5, AnySplitGivesTheSameDigest) {
  const std::string data = testing::RandomBytes(1000, 7);
  for (std::size_t length : {0, 1, 55, 56, 57, 63, 64, 65, 119, 120, 127, 128, 1000}) {
    const std::string message = data.substr(0, length);
    const DigestBytes whole = DigestOfBuffer(message.data(), message.size());

    DigestState state;
    StartDigest(state);
    for (char ch : message) FeedDigest(state, &ch, 1);
    EXPECT_EQ(FinishDigest(state), whole) << "byte by byte, length " << length;

    std::mt19937 random(static_cast<unsigned>(length));
    for (int trial = 0; trial < 20; ++trial) {
      StartDigest(state);
      std::size_t at = 0;
      while (at < message.size()) {
        const std::size_t piece = std::min<std::size_t>(random() % 130, message.size() - at);
        FeedDigest(state, message.data() + at, piece);  // pieces of 0 bytes included
        at += piece;
      }
      ASSERT_EQ(FinishDigest(state), whole) << "random split, length " << length;
    }
  }
  const std::string m = data.substr(0, 128);
  for (std::size_t first : {63, 64, 100}) {
    DigestState state;
    StartDigest(state);
    FeedDigest(state, m.data(), first);
    FeedDigest(state, m.data() + first, m.size() - first);
    EXPECT_EQ(FinishDigest(state), DigestOfBuffer(m.data(), m.size())) << first << " + rest";
  }
}

TEST(Md5, PaddingBoundariesMatchKnownDigests) {
  // Digests of runs of 'a', from coreutils md5sum.
  EXPECT_EQ(Hex(DigestOfText(std::string(55, 'a'))), "ef1772b6dff9a122358552954ad0df65");
  EXPECT_EQ(Hex(DigestOfText(std::string(56, 'a'))), "3b0c8ac703f828b04c6c197006d17218");
  EXPECT_EQ(Hex(DigestOfText(std::string(63, 'a'))), "b06521f39153d618550606be297466d5");
  EXPECT_EQ(Hex(DigestOfText(std::string(64, 'a'))), "014842d480b571495a4a0363793f7367");
  EXPECT_EQ(Hex(DigestOfText(std::string(119, 'a'))), "8a7bd0732ed6a28ce75f6dabc90e1613");
  EXPECT_EQ(Hex(DigestOfText(std::string(120, 'a'))), "5f61c0ccad4cac44c75ff505e1f1e537");
}

TEST(Md5, FinishWipesTheState) {
  DigestState state;
  StartDigest(state);
  FeedDigest(state, "abc", 3);
  FinishDigest(state);
  const auto* bytes = reinterpret_cast<const unsigned char*>(&state);
  for (std::size_t i = 0; i < sizeof state; ++i) ASSERT_EQ(bytes[i], 0) << "byte " << i;
}

TEST(Md5, HexIsUpperCaseAndZeroFilled) {
  DigestBytes d{};
  for (int i = 0; i < 16; ++i) d[i] = static_cast<std::uint8_t>(i);
  EXPECT_EQ(DigestToHex(d), "000102030405060708090A0B0C0D0E0F");
  d.fill(0xab);
  EXPECT_EQ(DigestToHex(d), "ABABABABABABABABABABABABABABABAB");
  EXPECT_EQ(LowerAscii("ABCDEF0123XYZ\xC4"), "abcdef0123xyz\xC4");
}

// A stream over memory that counts its reads and can fail on one of them.
class MemoryStream : public Stream {
 public:
  explicit MemoryStream(std::string bytes, int fail_at_read = -1)
      : bytes_(std::move(bytes)), fail_at_read_(fail_at_read) {}
  std::int64_t Size() override { return static_cast<std::int64_t>(bytes_.size()); }
  std::int64_t Position() override { return static_cast<std::int64_t>(pos_); }
  bool Seek(std::int64_t p) override {
    pos_ = static_cast<std::size_t>(p);
    return true;
  }
  std::int64_t Read(void* buffer, std::size_t n) override {
    if (reads_++ == fail_at_read_) return -1;
    n = std::min(n, bytes_.size() - pos_);
    std::memcpy(buffer, bytes_.data() + pos_, n);
    pos_ += n;
    return static_cast<std::int64_t>(n);
  }
  int reads() const { return reads_; }

 private:
  std::string bytes_;
  std::size_t pos_ = 0;
  int fail_at_read_;
  int reads_ = 0;
};

TEST(Md5Stream, ReadCountsAndRestoredPosition) {
  MemoryStream empty("");
  EXPECT_EQ(Hex(DigestOfStream(empty)), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(empty.reads(), 1) << "one read, returning 0 bytes";

  for (int k = 1; k <= 3; ++k) {
    const std::string bytes = testing::RandomBytes(4096 * k, k);
    MemoryStream stream(bytes);
    stream.Seek(123);
    EXPECT_EQ(DigestOfStream(stream), DigestOfBuffer(bytes.data(), bytes.size()));
    EXPECT_EQ(stream.reads(), k) << "no read after the size is met";
    EXPECT_EQ(stream.Position(), 123);
  }
  MemoryStream odd(std::string(5000, 'x'));
  DigestOfStream(odd);
  EXPECT_EQ(odd.reads(), 2);
}

TEST(Md5Stream, AFailedReadEndsTheDigestQuietly) {
  const std::string bytes = testing::RandomBytes(3 * 4096, 3);
  MemoryStream stream(bytes, /*fail_at_read=*/1);
  stream.Seek(17);
  EXPECT_EQ(DigestOfStream(stream), DigestOfBuffer(bytes.data(), 4096)) << "the bytes read before the failure";
  EXPECT_EQ(stream.Position(), 17);
}

}  // namespace
}  // namespace quillora

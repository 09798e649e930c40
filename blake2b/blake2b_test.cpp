#include "blake2b/blake2b.h"

#include <cstring>
#include <ostream>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "testing/temp_tree.h"

namespace quillora {

// How gtest and ctest name a test's kernel.
void PrintTo(Blake2bKernel kernel, std::ostream* out) {
  *out << (kernel == Blake2bKernel::kAvx2 ? "Avx2" : "Portable");
}

namespace {

std::string Hex(const Blake2bDigest& digest) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  for (const std::uint8_t byte : digest.view()) text.append({kDigits[byte >> 4], kDigits[byte & 15]});
  return text;
}

// Bytes 3, 10, 17, ... (7i + 3 mod 256): the same message for every case.
std::string Message(std::size_t length) {
  std::string message(length, '\0');
  for (std::size_t i = 0; i < length; ++i) message[i] = static_cast<char>((7 * i + 3) % 256);
  return message;
}

// Runs a test once on each kernel this CPU has.
class Blake2bTest : public ::testing::TestWithParam<Blake2bKernel> {
 protected:
  void SetUp() override {
    if (!ForceBlake2bKernel(GetParam())) GTEST_SKIP() << "this CPU or build has no such kernel";
  }
  void TearDown() override { ClearForcedBlake2bKernel(); }
};
INSTANTIATE_TEST_SUITE_P(Kernels, Blake2bTest, ::testing::Values(Blake2bKernel::kPortable, Blake2bKernel::kAvx2),
                         [](const auto& info) { return ::testing::PrintToString(info.param); });

// RFC 7693's appendix A, and lengths on each side of the block edge, where the
// last block is held back (a message of 128 bytes is one final block, not a
// block and an empty final one), from Python's hashlib.
TEST_P(Blake2bTest, KnownAnswers) {
  EXPECT_EQ(Hex(Blake2bOf(64, "abc")),
            "ba80a53f981c4d0d6a2797b69f12f6e94c212f14685ac4b74b12bb6fdbffa2d1"
            "7d87c5392aab792dc252d5de4533cc9518d38aa8dbf1925ab92386edd4009923");
  const struct {
    std::size_t length, out_bytes;
    const char* hex;
  } cases[] = {
      {0, 64,
       "786a02f742015903c6c6fd852552d272912f4740e15847618a86e217f71f5419"
       "d25e1031afee585313896444934eb04b903a685b1448b755d56f701afe9be2ce"},
      {1, 1, "02"},
      {127, 8, "5c7a95645fba062c"},
      {128, 64,
       "2d9e329f42afa3601d646692b81c13e87fcaff5bf15972e9813d7373cb6d181f"
       "9599f4d513d4af4fd6ebd37497aceb29aba5ee23ed764d8510b552bd088814fb"},
      {129, 16, "6cefde50e4008690e61cf8225d101256"},
      {255, 20, "21f2df5f9d17130a396e124d37d6fbe158044aaf"},
      {256, 33, "3b909426d0611c50be1d2f395c49f03b883f81156b46a87b9ef284f358c00a2668"},
      {257, 48, "1984cf0afdad269711f892ac0bbdd579c27769cda9d072c6d03b809816d0a59c1c408d5b6ae8b41f2eee7e750720833a"},
  };
  for (const auto& c : cases) EXPECT_EQ(Hex(Blake2bOf(c.out_bytes, Message(c.length))), c.hex) << c.length;
}

// Fed byte by byte, or in random pieces (empty ones included) across the
// held-back block, a message digests as it does whole.
TEST_P(Blake2bTest, AnySplitGivesTheSameDigest) {
  const std::string data = testing::RandomBytes(1200, 5);
  std::mt19937 random(5);
  for (std::size_t length : {0, 1, 127, 128, 129, 255, 256, 257, 384, 1200}) {
    const std::string message = data.substr(0, length);
    const std::size_t out_bytes = length % 64 + 1;
    const Blake2bDigest whole = Blake2bOf(out_bytes, message);
    Blake2bState state;
    StartBlake2b(state, out_bytes);
    for (const char ch : message) FeedBlake2b(state, &ch, 1);
    EXPECT_EQ(Hex(FinishBlake2b(state)), Hex(whole)) << "byte by byte, length " << length;
    for (int trial = 0; trial < 20; ++trial) {
      StartBlake2b(state, out_bytes);
      for (std::size_t at = 0; at < message.size();) {
        const std::size_t piece = std::min<std::size_t>(random() % 300, message.size() - at);
        FeedBlake2b(state, message.data() + at, piece);
        at += piece;
      }
      ASSERT_EQ(Hex(FinishBlake2b(state)), Hex(whole)) << "random split, length " << length;
    }
  }
}

// A lane kernel's hand-over: whole blocks compressed apart from the state,
// then its words and byte count resumed, give the digest of the whole.
// Finishing wipes the state.
TEST_P(Blake2bTest, ResumedFromWordsAndAByteCount) {
  const std::string message = testing::RandomBytes(1000, 9);
  for (std::size_t blocks : {0, 1, 3, 7}) {
    Blake2bState state;
    StartBlake2b(state, 32);
    std::uint64_t words[8];
    std::memcpy(words, state.h, sizeof words);
    CompressBlake2b(GetParam(), words, reinterpret_cast<const std::uint8_t*>(message.data()), blocks, 0);
    ResumeBlake2b(state, 32, words, blocks * kBlake2bBlockSize);
    FeedBlake2b(state, message.data() + blocks * kBlake2bBlockSize, message.size() - blocks * kBlake2bBlockSize);
    EXPECT_EQ(Hex(FinishBlake2b(state)), Hex(Blake2bOf(32, message))) << blocks << " blocks apart";
    const Blake2bState zero{};
    EXPECT_EQ(std::memcmp(&state, &zero, sizeof state), 0) << "the state is wiped";
  }
}

// The two compression functions agree on any block, counter and flag: the
// high bits of the counter included.
TEST(Blake2bKernels, AgreeOnRandomBlocks) {
  if (!Blake2bKernelSupported(Blake2bKernel::kAvx2)) GTEST_SKIP() << "no AVX2 kernel here";
  std::mt19937_64 random(3);
  for (int trial = 0; trial < 200; ++trial) {
    const std::string blocks = testing::RandomBytes(3 * kBlake2bBlockSize, static_cast<unsigned>(trial));
    const auto* data = reinterpret_cast<const std::uint8_t*>(blocks.data());
    std::uint64_t portable[8], avx2[8];
    for (std::uint64_t& word : portable) word = random();
    std::memcpy(avx2, portable, sizeof avx2);
    const std::uint64_t compressed = (random() >> (trial % 64)) & ~std::uint64_t{127};
    CompressBlake2b(Blake2bKernel::kPortable, portable, data, 3, compressed);
    CompressBlake2b(Blake2bKernel::kAvx2, avx2, data, 3, compressed);
    ASSERT_EQ(std::memcmp(portable, avx2, sizeof avx2), 0) << "trial " << trial;
    CompressLastBlake2b(Blake2bKernel::kPortable, portable, data, compressed + 5);
    CompressLastBlake2b(Blake2bKernel::kAvx2, avx2, data, compressed + 5);
    ASSERT_EQ(std::memcmp(portable, avx2, sizeof avx2), 0) << "last block, trial " << trial;
  }
}

}  // namespace
}  // namespace quillora

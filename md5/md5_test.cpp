#include "md5/md5.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "md5/md5_lanes.h"
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

TEST(Md5, HexIsZeroFilledInEitherCase) {
  DigestBytes d{};
  for (int i = 0; i < 16; ++i) d[i] = static_cast<std::uint8_t>(i);
  EXPECT_EQ(DigestToHex(d), "000102030405060708090A0B0C0D0E0F");
  EXPECT_EQ(DigestToLowerHex(d), "000102030405060708090a0b0c0d0e0f");
  d.fill(0xab);
  EXPECT_EQ(DigestToHex(d), "ABABABABABABABABABABABABABABABAB");
  EXPECT_EQ(LowerAscii("ABCDEF0123XYZ\xC4"), "abcdef0123xyz\xC4");
  // Only A to Z fold: '@' and '`' (one bit apart, as letters are) stay apart.
  EXPECT_TRUE(EqualIgnoringAsciiCase("abCD09z", "ABcd09Z"));
  EXPECT_FALSE(EqualIgnoringAsciiCase("a@", "a`"));
  EXPECT_FALSE(EqualIgnoringAsciiCase("\xC4", "\xE4"));
  EXPECT_FALSE(EqualIgnoringAsciiCase("ab", "abc"));
}

}  // namespace
}  // namespace quillora

namespace quillora {

#ifdef QUILLORA_MD5_SIMDE_KERNELS
// The AVX-512 kernels' own source compiled over SIMDe (md5_simde_test.cpp).
namespace md5_simde_kernels {
void Avx512Narrow(LaneWords& words, const std::uint8_t* const* data, std::size_t blocks);
void Avx512(LaneWords& words, const std::uint8_t* const* data, std::size_t blocks);
}  // namespace md5_simde_kernels
#endif

namespace {

// A lane kernel as the test runs it: TransformLanes for an engine this CPU
// runs, or the AVX-512 kernels' source over SIMDe (which any CPU runs).
struct Kernel {
  std::string name;
  std::size_t lanes, narrow;
  std::function<void(LaneWords&, const std::uint8_t* const*, std::size_t blocks, std::size_t lanes)> run;
};

std::vector<Kernel> KernelsHere() {
  std::vector<Kernel> kernels;
  for (LaneEngine engine : {LaneEngine::kAvx2, LaneEngine::kAvx512}) {
    if (!LaneEngineSupported(engine)) continue;
    kernels.push_back({std::string(LaneEngineName(engine)), LaneCount(engine), NarrowLaneCount(engine),
                       [engine](LaneWords& words, const std::uint8_t* const* data, std::size_t blocks,
                                std::size_t lanes) { TransformLanes(engine, words, data, blocks, lanes); }});
  }
#ifdef QUILLORA_MD5_SIMDE_KERNELS
  // As TransformLanes picks them on a CPU with AVX-512VL.
  kernels.push_back({"avx512 over SIMDe", 16, 8,
                     [](LaneWords& words, const std::uint8_t* const* data, std::size_t blocks, std::size_t lanes) {
                       if (lanes <= 8) return md5_simde_kernels::Avx512Narrow(words, data, blocks);
                       md5_simde_kernels::Avx512(words, data, blocks);
                     }});
#endif
  return kernels;
}

// Every kernel, with every number of lanes in use (the narrow kernel takes
// the smaller counts), leaves each running lane's words where the scalar
// engine leaves them, and the lanes it does not run as they were.
TEST(Md5, LaneKernelsMatchTheScalarEngineWhateverLanesRun) {
  constexpr std::size_t kBlocks = 3;
  std::vector<std::uint8_t> bytes(kMd5MaxLanes * kBlocks * 64);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 131 + i / 7);
  const std::uint8_t* data[kMd5MaxLanes];
  for (std::size_t lane = 0; lane < kMd5MaxLanes; ++lane) data[lane] = bytes.data() + lane * kBlocks * 64;
  for (const Kernel& kernel : KernelsHere()) {
    for (std::size_t running = 1; running <= kernel.lanes; ++running) {
      LaneWords words;
      for (std::size_t lane = 0; lane < kMd5MaxLanes; ++lane) StartLane(words, lane);
      kernel.run(words, data, kBlocks, running);
      const std::size_t ran = running <= kernel.narrow ? kernel.narrow : kernel.lanes;
      for (std::size_t lane = 0; lane < kMd5MaxLanes; ++lane) {
        DigestState state;
        StartDigest(state);
        if (lane < ran) FeedDigest(state, data[lane], kBlocks * 64);
        EXPECT_EQ((std::array{words.a[lane], words.b[lane], words.c[lane], words.d[lane]}),
                  (std::array{state.a, state.b, state.c, state.d}))
            << kernel.name << ", " << running << " running, lane " << lane;
      }
    }
  }
}

}  // namespace
}  // namespace quillora

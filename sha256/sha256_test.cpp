#include "sha256/sha256.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "hashes/streaming_digest.h"
#include "sha256/sha256_lanes.h"
#include "testing/temp_tree.h"

namespace quillora {

#ifdef QUILLORA_SHA256_SIMDE_KERNELS
// The AVX-512 kernels' own source compiled over SIMDe (sha256_simde_test.cpp).
namespace sha256_simde_kernels {
void Avx512Narrow(Sha256LaneWords& words, const std::uint8_t* const* data, std::size_t blocks);
void Avx512(Sha256LaneWords& words, const std::uint8_t* const* data, std::size_t blocks);
}  // namespace sha256_simde_kernels
#endif

namespace {

std::string Hex(const Sha256Bytes& digest) {
  std::string text;
  for (std::uint8_t byte : digest) {
    text += "0123456789abcdef"[byte >> 4];
    text += "0123456789abcdef"[byte & 15];
  }
  return text;
}

std::string Hex(const DigestValue& digest) {
  Sha256Bytes bytes{};
  std::copy_n(digest.bytes.begin(), bytes.size(), bytes.begin());
  return digest.size == bytes.size() ? Hex(bytes) : "a digest of " + std::to_string(digest.size) + " bytes";
}

Sha256Bytes OneShot(const std::string& message) {
  return Sha256OfBuffer(message.data(), message.size());
}

// Runs the body once on each stream engine this CPU has, forced.
void OnEachStreamEngine(const std::function<void(Sha256StreamEngine)>& body) {
  for (Sha256StreamEngine engine : kSha256StreamEngines) {
    if (!ForceSha256StreamEngine(engine)) continue;
    SCOPED_TRACE(std::string(Sha256StreamEngineName(engine)) + " stream engine");
    body(engine);
  }
  ClearForcedSha256StreamEngine();
}

TEST(Sha256, KnownAnswersOnEveryStreamEngine) {
  const std::pair<std::string, const char*> suite[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrst"
       "u",
       "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
      {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  OnEachStreamEngine([&](Sha256StreamEngine) {
    for (const auto& [message, digest] : suite) EXPECT_EQ(Hex(OneShot(message)), digest) << message.size() << " bytes";
  });
}

// Any length, fed in any pieces, gives libgcrypt's digest: lengths around
// every padding boundary and random ones, each split at random points.
TEST(Sha256, AgreesWithLibgcryptWhateverTheLengthAndSplits) {
  const std::string data = testing::RandomBytes(5000, 11);
  std::vector<std::size_t> lengths = {0, 1, 55, 56, 57, 63, 64, 65, 119, 120, 127, 128, 129, 4999};
  std::mt19937 random(5);
  for (int i = 0; i < 40; ++i) lengths.push_back(random() % data.size());
  OnEachStreamEngine([&](Sha256StreamEngine) {
    for (std::size_t length : lengths) {
      const std::string message = data.substr(0, length);
      const std::string expected = Hex(DigestOfBytes(DigestId::kSha256, message));
      ASSERT_EQ(Hex(OneShot(message)), expected) << "one call, length " << length;
      for (int trial = 0; trial < 8; ++trial) {
        Sha256State state;
        StartSha256(state);
        std::size_t at = 0;
        while (at < message.size()) {
          // Pieces of 0 bytes, of less than a block and of several blocks.
          const std::size_t piece = std::min<std::size_t>(random() % (trial < 4 ? 70 : 300), message.size() - at);
          FeedSha256(state, message.data() + at, piece);
          at += piece;
        }
        EXPECT_EQ(Sha256BytesFed(state), length);
        ASSERT_EQ(Hex(FinishSha256(state)), expected) << "random pieces, length " << length;
      }
    }
  });
}

TEST(Sha256, FinishWipesTheState) {
  Sha256State state;
  StartSha256(state);
  FeedSha256(state, "abc", 3);
  FinishSha256(state);
  const auto* bytes = reinterpret_cast<const unsigned char*>(&state);
  for (std::size_t i = 0; i < sizeof state; ++i) ASSERT_EQ(bytes[i], 0) << "byte " << i;
}

// A lane kernel as the tests run it: TransformSha256Lanes for an engine, or
// the AVX-512 kernels' source over SIMDe (which any CPU runs).
struct Kernel {
  std::string name;
  std::size_t lanes, narrow;
  std::function<void(Sha256LaneWords&, const std::uint8_t* const*, std::size_t blocks, std::size_t lanes)> run;
};

std::vector<Kernel> KernelsHere() {
  std::vector<Kernel> kernels;
  for (Sha256LaneEngine engine : kSha256LaneEngines) {
    if (!Sha256LaneEngineSupported(engine)) continue;
    kernels.push_back({std::string(Sha256LaneEngineName(engine)), LaneCount(engine), NarrowLaneCount(engine),
                       [engine](Sha256LaneWords& words, const std::uint8_t* const* data, std::size_t blocks,
                                std::size_t lanes) { TransformSha256Lanes(engine, words, data, blocks, lanes); }});
  }
#ifdef QUILLORA_SHA256_SIMDE_KERNELS
  // As TransformSha256Lanes picks them on a CPU with AVX-512VL.
  kernels.push_back(
      {"avx512 over SIMDe", 16, 8,
       [](Sha256LaneWords& words, const std::uint8_t* const* data, std::size_t blocks, std::size_t lanes) {
         if (lanes <= 8) return sha256_simde_kernels::Avx512Narrow(words, data, blocks);
         sha256_simde_kernels::Avx512(words, data, blocks);
       }});
#endif
  return kernels;
}

// Many messages of different lengths through a kernel's lanes, as a lane
// manager runs them: a message joins a free lane from its start or from a
// scalar state that took its first blocks, every lane runs as many blocks as
// the shortest busy one has, a free lane reads a busy lane's bytes, and a
// message short of a block finishes on the scalar engine from its lane's
// words. As lanes empty, the narrow kernel takes over. Each digest must be
// the one-shot digest of its message.
TEST(Sha256, LaneKernelsDigestMessagesOfEveryLength) {
  const std::string data = testing::RandomBytes(20000, 3);
  for (const Kernel& kernel : KernelsHere()) {
    SCOPED_TRACE(kernel.name);
    std::mt19937 random(static_cast<unsigned>(kernel.lanes) * 7 + kernel.name.size());
    std::vector<std::string> messages;
    for (std::size_t length : {0, 1, 63, 64, 65, 128, 200, 1000, 4096, 19999})
      messages.push_back(data.substr(0, length));
    for (std::size_t i = 0; i < 2 * kernel.lanes + 3; ++i) messages.push_back(data.substr(i, random() % 3000));

    struct Lane {
      const std::string* message = nullptr;
      std::size_t at = 0;  // bytes through the compression function
    };
    std::vector<Lane> lanes(kernel.lanes);
    Sha256LaneWords words;
    std::memset(&words, 0xee, sizeof words);
    std::size_t next = 0, finished = 0;
    while (finished < messages.size()) {
      for (std::size_t i = 0; i < kernel.lanes; ++i) {
        Lane& lane = lanes[i];
        if (lane.message == nullptr && next < messages.size()) {
          lane = {&messages[next++], 0};
          if (random() % 3 == 0) {
            // Its first blocks on the scalar engine, in pieces, then moved here.
            Sha256State state;
            StartSha256(state);
            const std::size_t prefix = lane.message->size() / 64 * (random() % 3) / 2 * 64;
            for (std::size_t at = 0; at < prefix;) {
              const std::size_t piece = std::min<std::size_t>(1 + random() % 150, prefix - at);
              FeedSha256(state, lane.message->data() + at, piece);
              at += piece;
            }
            SetSha256Lane(words, i, state);
            lane.at = prefix;
          } else {
            StartSha256Lane(words, i);
          }
        }
        if (lane.message != nullptr && lane.message->size() - lane.at < 64) {
          const auto chain = Sha256LaneChain(words, i);
          Sha256State state;
          ResumeSha256(state, chain.data(), lane.at);
          FeedSha256(state, lane.message->data() + lane.at, lane.message->size() - lane.at);
          ASSERT_EQ(Hex(FinishSha256(state)), Hex(OneShot(*lane.message)))
              << "message of " << lane.message->size() << " bytes in lane " << i;
          lane.message = nullptr;
          ++finished;
          --i;  // the lane takes the next message, if any
        }
      }
      std::size_t blocks = 0, busy = 0, highest = 0, some_busy = 0;
      for (std::size_t i = 0; i < kernel.lanes; ++i) {
        if (lanes[i].message == nullptr) continue;
        const std::size_t left = (lanes[i].message->size() - lanes[i].at) / 64;
        blocks = busy++ == 0 ? left : std::min(blocks, left);
        highest = i + 1;
        some_busy = i;
      }
      if (busy == 0) continue;
      blocks = 1 + random() % blocks;
      const std::uint8_t* lane_data[kSha256MaxLanes];
      for (std::size_t i = 0; i < kernel.lanes; ++i) {
        const Lane& source = lanes[lanes[i].message != nullptr ? i : some_busy];
        lane_data[i] = reinterpret_cast<const std::uint8_t*>(source.message->data()) + source.at;
      }
      kernel.run(words, lane_data, blocks, highest);
      for (Lane& lane : lanes) {
        if (lane.message != nullptr) lane.at += blocks * 64;
      }
    }
  }
}

// With any number of lanes asked for, a kernel runs the lanes it says it
// runs (the narrow kernel's, or all) from any words, and leaves the others'
// words as they were.
TEST(Sha256, LaneKernelsRunTheLanesAskedForAndKeepTheOthers) {
  constexpr std::size_t kBlocks = 3;
  const std::string bytes = testing::RandomBytes(kSha256MaxLanes * kBlocks * 64, 9);
  const std::uint8_t* data[kSha256MaxLanes];
  for (std::size_t lane = 0; lane < kSha256MaxLanes; ++lane)
    data[lane] = reinterpret_cast<const std::uint8_t*>(bytes.data()) + lane * kBlocks * 64;
  for (const Kernel& kernel : KernelsHere()) {
    for (std::size_t running = 1; running <= kernel.lanes; ++running) {
      Sha256LaneWords before;
      for (std::size_t w = 0; w < 8; ++w) {
        for (std::size_t lane = 0; lane < kSha256MaxLanes; ++lane)
          before.h[w][lane] = static_cast<std::uint32_t>(0x9e3779b9u * (w * 16 + lane + 1));
      }
      Sha256LaneWords words = before;
      kernel.run(words, data, kBlocks, running);
      const std::size_t ran = running <= kernel.narrow ? kernel.narrow : kernel.lanes;
      for (std::size_t lane = 0; lane < kSha256MaxLanes; ++lane) {
        std::array<std::uint32_t, 8> expected = Sha256LaneChain(before, lane);
        if (lane < ran) {
          Sha256State state;
          ResumeSha256(state, expected.data(), 0);
          FeedSha256(state, data[lane], kBlocks * 64);
          std::copy_n(state.h, 8, expected.begin());
        }
        EXPECT_EQ(Sha256LaneChain(words, lane), expected)
            << kernel.name << ", " << running << " asked for, lane " << lane;
      }
    }
  }
}

// Every block-aligned point of a message is a place to move it: the first
// blocks on the scalar engine, the next ones in a lane, the rest on the
// scalar engine again, give the one-shot digest whichever points are taken.
TEST(Sha256, MessagesMoveBetweenScalarAndLanesAtAnyBlock) {
  const std::string message = testing::RandomBytes(5 * 64 + 17, 21);
  const std::string expected = Hex(OneShot(message));
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(message.data());
  for (const Kernel& kernel : KernelsHere()) {
    for (std::size_t into = 0; into <= 5; ++into) {
      for (std::size_t back = into; back <= 5; ++back) {
        Sha256State state;
        StartSha256(state);
        FeedSha256(state, bytes, into * 64);
        Sha256LaneWords words;
        for (std::size_t lane = 0; lane < kSha256MaxLanes; ++lane) SetSha256Lane(words, lane, state);
        // Every lane carries the message, so the kernel's last lane is checked too.
        const std::uint8_t* data[kSha256MaxLanes];
        std::fill(std::begin(data), std::end(data), bytes + into * 64);
        kernel.run(words, data, back - into, kernel.lanes);
        for (std::size_t lane : {std::size_t{0}, kernel.lanes - 1}) {
          const auto chain = Sha256LaneChain(words, lane);
          ResumeSha256(state, chain.data(), back * 64);
          FeedSha256(state, bytes + back * 64, message.size() - back * 64);
          EXPECT_EQ(Hex(FinishSha256(state)), expected)
              << kernel.name << ": into the lane after " << into << " blocks, back after " << back << ", lane " << lane;
        }
      }
    }
  }
}

}  // namespace
}  // namespace quillora

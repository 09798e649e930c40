#include "digests/file_lanes.h"

#include <cerrno>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "testing/string_stream.h"
#include "testing/temp_tree.h"

namespace quillora {
namespace {

using testing::RandomBytes;
using testing::StringStream;

std::vector<LaneEngine> LaneKernels() {
  std::vector<LaneEngine> kernels;
  for (LaneEngine engine : {LaneEngine::kAvx2, LaneEngine::kAvx512}) {
    if (LaneEngineSupported(engine)) kernels.push_back(engine);
  }
  return kernels;
}

struct Message {
  std::string bytes;
  std::size_t fail_at = static_cast<std::size_t>(-1);  // a read from here on fails
};

// Large files handed over by FileLanes runs, for other runs to adopt.
using Handed = std::vector<FileLanes::Rest>;

// What FileLanes reports for each message, in message order: the digest
// text, or "error N" (into results, from first_tag on). With handed, large
// files are handed over when the lanes run thin and adopted from there.
std::vector<std::string> LaneResults(LaneEngine engine, const std::vector<Message>& messages, std::size_t chunk,
                                     std::size_t max_read, bool reads_apart, Handed* handed = nullptr,
                                     std::vector<std::string>* into = nullptr, std::size_t first_tag = 0) {
  std::vector<std::string> own(messages.size());
  std::vector<std::string>& results = into != nullptr ? *into : own;
  std::size_t next = 0;
  const auto take = [&](FileLanes::File& file, std::size_t wanted) {
    EXPECT_GE(wanted, 1u);
    if (next == messages.size()) return false;
    file.stream = std::make_unique<StringStream>(messages[next].bytes, max_read, messages[next].fail_at);
    file.tag = first_tag + next++;
    return true;
  };
  const auto done = [&](std::uint64_t tag, const DigestBytes& digest, int error) {
    EXPECT_TRUE(results[tag].empty()) << "message " << tag << " done twice";
    results[tag] = error != 0 ? "error " + std::to_string(error) : DigestToHex(digest);
  };
  FileLanes::HandOver hand_over{[&](FileLanes::Rest&& rest) { handed->push_back(std::move(rest)); },
                                [&](FileLanes::Rest& rest, std::size_t busy) {
                                  if (busy + handed->size() < 3 || handed->empty()) return false;
                                  rest = std::move(handed->back());
                                  handed->pop_back();
                                  return true;
                                },
                                {}};
  std::atomic<bool> stop{false};
  FileLanes lanes(engine, chunk, reads_apart);
  lanes.Run(take, done, stop, handed != nullptr ? &hand_over : nullptr);
  return results;
}

void FinishHanded(Handed& handed, std::vector<std::string>& results) {
  for (FileLanes::Rest& rest : handed) {
    const int error = FeedRestOfFile(rest.state, *rest.read);
    const DigestBytes digest = FinishDigest(rest.state);
    results[rest.tag] = error != 0 ? "error " + std::to_string(error) : DigestToHex(digest);
  }
  handed.clear();
}

std::vector<std::string> ScalarResults(const std::vector<Message>& messages) {
  std::vector<std::string> results;
  for (const Message& m : messages) {
    results.push_back(m.fail_at < m.bytes.size() ? "error " + std::to_string(EIO)
                                                 : DigestToHex(DigestOfBuffer(m.bytes.data(), m.bytes.size())));
  }
  return results;
}

std::vector<Message> OfLengths(const std::vector<std::size_t>& lengths) {
  std::vector<Message> messages;
  for (std::size_t n : lengths) messages.push_back({RandomBytes(n, static_cast<unsigned>(messages.size() + n))});
  return messages;
}

TEST(FileLanes, EveryKernelGivesTheScalarDigests) {
  std::mt19937 random(7);
  std::vector<std::size_t> edges = {0, 1, 55, 56, 63, 64, 65, 119, 120, 1 << 20};
  for (int i = 0; i < 40; ++i) edges.push_back(random() % 5001);
  std::vector<std::size_t> many_short;  // each lane refilled many times, beside one long file
  for (int i = 0; i < 400; ++i) many_short.push_back(i == 3 ? 300'000 : random() % 300);
  std::vector<Message> failing = OfLengths({5000, 70'000, 64, 200'000, 0, 130});
  failing[1].fail_at = 65'536;  // after a whole chunk, part way into the file
  failing[3].fail_at = 1000;
  std::vector<Message> equal(16, Message{RandomBytes(4097, 3)});

  struct Case {
    const char* name;
    std::vector<Message> messages;
    std::size_t chunk;
    std::size_t max_read;
  };
  const std::vector<Case> cases = {
      {"lengths finishing at different times", OfLengths(edges), 64 * 1024, static_cast<std::size_t>(-1)},
      {"the same in small chunks and odd reads", OfLengths(edges), 128, 100},
      {"lanes refilled many times", OfLengths(many_short), 64 * 1024, static_cast<std::size_t>(-1)},
      {"all lanes equal", equal, 1024, static_cast<std::size_t>(-1)},
      {"one lane alone", OfLengths({100'003}), 4096, static_cast<std::size_t>(-1)},
      {"a large file left alone, finished on the scalar engine", OfLengths({(9 << 20) + 77, 70'000, 1000}), 64 * 1024,
       1000},
      {"reads failing part way free their lanes", failing, 4096, static_cast<std::size_t>(-1)},
  };
  const std::vector<LaneEngine> kernels = LaneKernels();
  if (kernels.empty()) GTEST_SKIP() << "no lane kernel in this build or on this CPU";
  if (kernels.size() < 2) std::printf("the lane kernel this CPU lacks is skipped\n");
  for (LaneEngine engine : kernels) {
    for (const bool reads_apart : {false, true}) {
      for (const Case& c : cases) {
        EXPECT_EQ(LaneResults(engine, c.messages, c.chunk, c.max_read, reads_apart), ScalarResults(c.messages))
            << LaneEngineName(engine) << ": " << c.name << (reads_apart ? ", reads apart" : "");
      }
    }
  }
}

// Two large files left in thin lanes are handed over part way, then finished
// on the scalar engine or adopted by a run with three large files of its
// own; their digests stay the scalar ones, a read failing after it too, and
// when the next chunk was being read apart as the file went.
TEST(FileLanes, LargeFilesHandedOverFromThinLanesKeepTheirDigests) {
  std::vector<std::size_t> lengths = {(9 << 20) + 5, 100, (17 << 20) + 63, 7000, 3};
  for (int i = 0; i < 40; ++i) lengths.push_back(static_cast<std::size_t>(i) * 131);
  const std::vector<Message> two = OfLengths({(20 << 20) + 1, (21 << 20) + 2, (22 << 20) + 3, 64});
  for (LaneEngine engine : LaneKernels()) {
    for (const bool adopted : {false, true}) {
      const bool apart = adopted;
      std::vector<Message> one = OfLengths(lengths);
      if (adopted) one[2].fail_at = 16 << 20;  // the read fails after the hand-over
      std::vector<std::string> results(one.size() + two.size()), expected = ScalarResults(one);
      Handed handed;
      LaneResults(engine, one, 64 * 1024, static_cast<std::size_t>(-1), apart, &handed, &results);
      EXPECT_EQ(handed.size(), 2u) << LaneEngineName(engine);
      if (!adopted) FinishHanded(handed, results);
      LaneResults(engine, two, 64 * 1024, static_cast<std::size_t>(-1), apart, &handed, &results, one.size());
      FinishHanded(handed, results);
      for (const std::string& digest : ScalarResults(two)) expected.push_back(digest);
      EXPECT_EQ(results, expected) << LaneEngineName(engine) << (adopted ? ", adopted" : "");
    }
  }
}

// The long lanes' way: files come now and then, so a file left alone goes
// on a chunk at a time on the scalar engine while more may come, and the
// others join it; once a free thread is wanted, the file with the most left
// goes to it. Every digest stays the scalar one.
TEST(FileLanes, FilesComingLateJoinOneLeftAloneAndAFreeThreadTakesTheLongest) {
  const std::vector<Message> messages = OfLengths({(9 << 20) + 5, (12 << 20) + 9, 100'000, 64, (10 << 20) + 1});
  for (LaneEngine engine : LaneKernels()) {
    std::vector<std::string> results(messages.size());
    std::size_t next = 0, calls = 0;
    const auto take = [&](FileLanes::File& file, std::size_t) {
      // One file, then none for a few rounds, then the others one by one.
      if (next == messages.size() || (++calls < 6 && next == 1)) return false;
      file.stream = std::make_unique<StringStream>(messages[next].bytes, static_cast<std::size_t>(-1));
      file.tag = next++;
      return true;
    };
    const auto done = [&](std::uint64_t tag, const DigestBytes& digest, int error) {
      results[tag] = error != 0 ? "error " + std::to_string(error) : DigestToHex(digest);
    };
    Handed handed;
    FileLanes::HandOver hand_over;
    hand_over.give = [&](FileLanes::Rest&& rest) { handed.push_back(std::move(rest)); };
    hand_over.wanted = [&] { return next == messages.size() && handed.empty(); };
    std::atomic<bool> stop{false};
    FileLanes lanes(engine, 64 * 1024);
    lanes.Run(take, done, stop, &hand_over, [&] { return next < messages.size(); });
    ASSERT_EQ(handed.size(), 1u) << LaneEngineName(engine);
    EXPECT_EQ(handed[0].tag, 1u) << LaneEngineName(engine) << ": the file with the most left";
    FinishHanded(handed, results);
    EXPECT_EQ(results, ScalarResults(messages)) << LaneEngineName(engine);
  }
}

TEST(LaneEngines, NamesAndChoice) {
  for (LaneEngine engine : {LaneEngine::kScalar, LaneEngine::kAvx2, LaneEngine::kAvx512})
    EXPECT_EQ(LaneEngineNamed(LaneEngineName(engine)), engine);
  EXPECT_EQ(LaneEngineNamed("sse"), std::nullopt);
  EXPECT_TRUE(LaneEngineSupported(LaneEngine::kScalar));
  const LaneEngine before = ActiveLaneEngine();
  EXPECT_TRUE(LaneEngineSupported(before));
  ASSERT_TRUE(ForceLaneEngine(LaneEngine::kScalar));
  EXPECT_EQ(ActiveLaneEngine(), LaneEngine::kScalar);
  ClearForcedLaneEngine();
  EXPECT_GE(LaneCount(ActiveLaneEngine()), LaneCount(before));  // the widest the CPU has
  ForceLaneEngine(before);
}

}  // namespace
}  // namespace quillora

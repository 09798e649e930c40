// The digest kernels in memory, on one core.
//   lanes_bench [md5]: MD5's engines, each hashing as many 1 MiB messages as
//     it has lanes (16 for the scalar engine, one after another; 8 for
//     AVX-512's narrow kernel).
//   lanes_bench sha256: SHA-256's engines at 16 KiB and at 1 MiB messages:
//     the scalar engine on SHA-NI (one stream) and on portable C, one
//     message after another, and each lane engine with every lane busy,
//     each message finished on the scalar engine from its lane's words (so
//     every figure is of whole digests, padding included). The SHA-NI lanes
//     also run 3 and 4 interleaved streams, the counts the engine could
//     have had.
// The engines take turns, round after round, so a machine whose speed drifts
// weighs on all of them alike; each turn is timed in CPU time, which other
// work on a shared machine does not stretch. Prints one line per engine the
// CPU runs: "<engine> <median bytes per second> [<lowest>-<highest> GB/s]".
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "md5/md5.h"
#include "md5/md5_lanes.h"
#include "sha256/sha256.h"
#include "sha256/sha256_lanes.h"
#include "sha256/sha256_shani.h"

namespace {

constexpr int kTurns = 7;                // rounds of every engine, alternating
constexpr double kSecondsPerTurn = 0.2;  // CPU time of one engine's turn, at least

struct Engine {
  std::string name;
  std::size_t bytes_per_pass;
  std::function<void()> pass;
  std::vector<double> rates;
};

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

double CpuSeconds() {
  return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

std::vector<std::vector<unsigned char>> Messages(std::size_t count, std::size_t size) {
  std::vector<std::vector<unsigned char>> messages(count, std::vector<unsigned char>(size));
  std::mt19937 random(1);
  for (auto& m : messages) {
    for (auto& byte : m) byte = static_cast<unsigned char>(random());
  }
  return messages;
}

unsigned sink = 0;  // keeps the work from being optimized away

constexpr std::size_t kMd5Message = 1 << 20;

void AddMd5Engines(std::vector<Engine>& engines) {
  using namespace quillora;
  constexpr std::size_t kMessage = kMd5Message;
  static const auto messages = Messages(kMd5MaxLanes, kMessage);
  static const std::uint8_t* data[kMd5MaxLanes];
  for (std::size_t i = 0; i < kMd5MaxLanes; ++i) data[i] = messages[i].data();
  static LaneWords words{};
  engines.push_back({"scalar",
                     kMd5MaxLanes * kMessage,
                     [] {
                       for (const auto& m : messages) sink += DigestOfBuffer(m.data(), m.size())[0];
                     },
                     {}});
  const auto add_kernel = [&](const char* name, LaneEngine engine, std::size_t lanes) {
    engines.push_back({name,
                       lanes * kMessage,
                       [engine, lanes] {
                         for (std::size_t i = 0; i < lanes; ++i) StartLane(words, i);
                         TransformLanes(engine, words, data, kMd5Message / 64, lanes);
                         sink += words.a[0];
                       },
                       {}});
  };
  if (LaneEngineSupported(LaneEngine::kAvx2)) add_kernel("avx2", LaneEngine::kAvx2, 8);
  // The narrow kernel, which few busy lanes run on; the widest comes last.
  if (LaneEngineSupported(LaneEngine::kAvx512) && NarrowLaneCount(LaneEngine::kAvx512) < 16)
    add_kernel("avx512-narrow", LaneEngine::kAvx512, NarrowLaneCount(LaneEngine::kAvx512));
  if (LaneEngineSupported(LaneEngine::kAvx512)) add_kernel("avx512", LaneEngine::kAvx512, 16);
}

void AddSha256Engines(std::vector<Engine>& engines, std::size_t size, const std::string& suffix) {
  using namespace quillora;
  const auto messages = std::make_shared<std::vector<std::vector<unsigned char>>>(Messages(kSha256MaxLanes, size));
  const auto stream = [&](const std::string& name, Sha256StreamEngine engine) {
    if (!Sha256StreamEngineSupported(engine)) return;
    // Four messages a pass: the one-stream engines take long enough.
    engines.push_back({name + suffix,
                       4 * size,
                       [messages, engine] {
                         ForceSha256StreamEngine(engine);
                         for (int i = 0; i < 4; ++i)
                           sink += Sha256OfBuffer((*messages)[i].data(), (*messages)[i].size())[0];
                         ClearForcedSha256StreamEngine();
                       },
                       {}});
  };
  stream("sha256-stream-sha-ni", Sha256StreamEngine::kShaNi);
  stream("sha256-stream-portable", Sha256StreamEngine::kPortable);

  // lanes busy lanes of a transform, each message finished on the scalar engine.
  const auto lanes = [&](const std::string& name, std::size_t count,
                         std::function<void(Sha256LaneWords&, const std::uint8_t* const*, std::size_t)> transform) {
    engines.push_back({name + suffix,
                       count * size,
                       [messages, count, size, transform] {
                         Sha256LaneWords words;
                         const std::uint8_t* data[kSha256MaxLanes];
                         for (std::size_t i = 0; i < count; ++i) {
                           StartSha256Lane(words, i);
                           data[i] = (*messages)[i].data();
                         }
                         transform(words, data, size / 64);
                         for (std::size_t i = 0; i < count; ++i) {
                           Sha256State state;
                           ResumeSha256(state, Sha256LaneChain(words, i).data(), size);
                           sink += FinishSha256(state)[0];
                         }
                       },
                       {}});
  };
  const auto engine_lanes = [&](const std::string& name, Sha256LaneEngine engine, std::size_t count) {
    if (!Sha256LaneEngineSupported(engine)) return;
    lanes(name, count, [engine, count](Sha256LaneWords& words, const std::uint8_t* const* data, std::size_t blocks) {
      TransformSha256Lanes(engine, words, data, blocks, count);
    });
  };
  engine_lanes("sha256-sha-ni-x" + std::to_string(sha256_detail::kShaNiStreams), Sha256LaneEngine::kShaNi,
               LaneCount(Sha256LaneEngine::kShaNi));
  if (Sha256LaneEngineSupported(Sha256LaneEngine::kShaNi)) {
    for (std::size_t streams = 2; streams <= 4; ++streams) {
      if (streams == sha256_detail::kShaNiStreams) continue;
      lanes("sha256-sha-ni-x" + std::to_string(streams), streams,
            [streams](Sha256LaneWords& words, const std::uint8_t* const* data, std::size_t blocks) {
              sha256_detail::CompressShaNiLanes(words, data, blocks, streams);
            });
    }
  }
  engine_lanes("sha256-avx2", Sha256LaneEngine::kAvx2, 8);
  if (NarrowLaneCount(Sha256LaneEngine::kAvx512) < 16)
    engine_lanes("sha256-avx512-narrow", Sha256LaneEngine::kAvx512, NarrowLaneCount(Sha256LaneEngine::kAvx512));
  engine_lanes("sha256-avx512", Sha256LaneEngine::kAvx512, 16);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string family = argc > 1 ? argv[1] : "md5";
  std::vector<Engine> engines;
  if (family == "md5") {
    AddMd5Engines(engines);
  } else if (family == "sha256") {
    AddSha256Engines(engines, 16 << 10, "-16k");
    AddSha256Engines(engines, 1 << 20, "-1m");
  } else {
    std::fprintf(stderr, "usage: lanes_bench [md5|sha256]\n");
    return 2;
  }
  for (int turn = 0; turn < kTurns; ++turn) {
    for (Engine& e : engines) {
      const double start = CpuSeconds();
      double took = 0;
      std::size_t passes = 0;
      do {
        e.pass();
        ++passes;
        took = CpuSeconds() - start;
      } while (took < kSecondsPerTurn);
      e.rates.push_back(static_cast<double>(e.bytes_per_pass) * static_cast<double>(passes) / took);
    }
  }
  for (const Engine& e : engines) {
    const auto [low, high] = std::minmax_element(e.rates.begin(), e.rates.end());
    std::printf("%s %.0f [%.2f-%.2f GB/s]\n", e.name.c_str(), Median(e.rates), *low / 1e9, *high / 1e9);
  }
  return sink == 12345 ? 1 : 0;
}

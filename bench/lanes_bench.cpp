// The digest kernels in memory, on one core: each engine hashes as many 1 MiB
// messages as it has lanes (16 for the scalar engine, one after another), best
// of 3 runs of 8 rounds each. Prints one line per engine the CPU runs:
// "<engine> <bytes per second>".
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

#include "md5/md5.h"
#include "md5/md5_lanes.h"

namespace {

constexpr std::size_t kMessage = 1 << 20;
constexpr int kRounds = 8;

double BestRate(std::size_t bytes_per_round, auto round) {
  double best = 1e9;
  for (int run = 0; run < 3; ++run) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kRounds; ++i) round();
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    best = std::min(best, took.count());
  }
  return static_cast<double>(bytes_per_round) * kRounds / best;
}

}  // namespace

int main() {
  using namespace quillora;
  std::vector<std::vector<unsigned char>> messages(kMaxLanes, std::vector<unsigned char>(kMessage));
  std::mt19937 random(1);
  for (auto& m : messages) {
    for (auto& byte : m) byte = static_cast<unsigned char>(random());
  }
  unsigned sink = 0;
  std::printf("scalar %.0f\n", BestRate(kMaxLanes * kMessage, [&] {
                for (const auto& m : messages) sink += DigestOfBuffer(m.data(), m.size())[0];
              }));
  for (LaneEngine engine : {LaneEngine::kAvx2, LaneEngine::kAvx512}) {
    if (!LaneEngineSupported(engine)) continue;
    const std::size_t lanes = LaneCount(engine);
    const std::uint8_t* data[kMaxLanes];
    for (std::size_t i = 0; i < lanes; ++i) data[i] = messages[i].data();
    LaneWords words{};
    std::printf("%s %.0f\n", LaneEngineName(engine).data(), BestRate(lanes * kMessage, [&] {
                  for (std::size_t i = 0; i < lanes; ++i) StartLane(words, i);
                  TransformLanes(engine, words, data, kMessage / 64);
                  sink += words.a[0];
                }));
  }
  return sink == 12345 ? 1 : 0;  // keeps the work from being optimized away
}

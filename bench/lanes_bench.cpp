// The digest kernels in memory, on one core: each engine hashes as many 1 MiB
// messages as it has lanes (16 for the scalar engine, one after another; 8
// for AVX-512's narrow kernel).
// The engines take turns, round after round, so a machine whose speed drifts
// weighs on all of them alike. Prints one line per engine the CPU runs:
// "<engine> <median bytes per second> [<lowest>-<highest> GB/s]".
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <random>
#include <vector>

#include "md5/md5.h"
#include "md5/md5_lanes.h"

namespace {

constexpr std::size_t kMessage = 1 << 20;
constexpr int kTurns = 7;      // rounds of every engine, alternating
constexpr int kPerTurn = 4;    // passes timed together in one turn

struct Engine {
  const char* name;
  std::size_t bytes_per_pass;
  std::function<void()> pass;
  std::vector<double> rates;
};

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
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
  std::vector<Engine> engines;
  engines.push_back({"scalar", kMaxLanes * kMessage, [&] {
                       for (const auto& m : messages) sink += DigestOfBuffer(m.data(), m.size())[0];
                     }, {}});
  const std::uint8_t* data[kMaxLanes];
  for (std::size_t i = 0; i < kMaxLanes; ++i) data[i] = messages[i].data();
  LaneWords words{};
  const auto add_kernel = [&](const char* name, LaneEngine engine, std::size_t lanes) {
    engines.push_back({name, lanes * kMessage, [&, engine, lanes] {
                         for (std::size_t i = 0; i < lanes; ++i) StartLane(words, i);
                         TransformLanes(engine, words, data, kMessage / 64, lanes);
                         sink += words.a[0];
                       }, {}});
  };
  if (LaneEngineSupported(LaneEngine::kAvx2)) add_kernel("avx2", LaneEngine::kAvx2, 8);
  // The narrow kernel, which few busy lanes run on; the widest comes last.
  if (LaneEngineSupported(LaneEngine::kAvx512) && NarrowLaneCount(LaneEngine::kAvx512) < 16)
    add_kernel("avx512-narrow", LaneEngine::kAvx512, NarrowLaneCount(LaneEngine::kAvx512));
  if (LaneEngineSupported(LaneEngine::kAvx512)) add_kernel("avx512", LaneEngine::kAvx512, 16);
  for (int turn = 0; turn < kTurns; ++turn) {
    for (Engine& e : engines) {
      const auto start = std::chrono::steady_clock::now();
      for (int i = 0; i < kPerTurn; ++i) e.pass();
      const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
      e.rates.push_back(static_cast<double>(e.bytes_per_pass) * kPerTurn / took.count());
    }
  }
  for (const Engine& e : engines) {
    const auto [low, high] = std::minmax_element(e.rates.begin(), e.rates.end());
    std::printf("%s %.0f [%.2f-%.2f GB/s]\n", e.name, Median(e.rates), *low / 1e9, *high / 1e9);
  }
  return sink == 12345 ? 1 : 0;  // keeps the work from being optimized away
}

#include "sha256/sha256_lanes.h"

#include <atomic>
#include <cassert>

#include "sha256/sha256.h"
#include "sha256/sha256_shani.h"
#include "sha256/sha256_steps.h"

// The SIMD kernels need GCC or Clang's per-function targets on x86. Windows is
// left out: its 64-bit ABI does not align the stack for the 32- and 64-byte
// spills of these registers under GCC.
#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__)) && !defined(_WIN32)
#define QUILLORA_SIMD_LANES 1
#if defined(__GNUC__) && !defined(__clang__)
// GCC's own AVX-512 header (its deliberately undefined register values) trips
// its uninitialized-value check wherever a kernel inlines an intrinsic; this
// unit holds nothing else for the check to watch.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>
#endif

namespace quillora {
namespace {

#ifdef QUILLORA_SIMD_LANES

#define QUILLORA_KERNEL_TARGET(features) __attribute__((target(features)))
// Without it the compiler moves the round constant after the round's
// functions, one more add on the chain through e.
#define QUILLORA_KERNEL_OFF_CHAIN(v) __asm__("" : "+v"(v))
#include "sha256/sha256_simd_kernels.h"
#undef QUILLORA_KERNEL_TARGET
#undef QUILLORA_KERNEL_OFF_CHAIN

bool CpuRunsNarrow512() {
  __builtin_cpu_init();
  static const bool runs = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl");
  return runs;
}

bool CpuRunsSimd(Sha256LaneEngine engine) {
  __builtin_cpu_init();
  if (engine == Sha256LaneEngine::kAvx2) return __builtin_cpu_supports("avx2");
  return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
}

#else  // no SIMD lane kernels in this build

bool CpuRunsNarrow512() {
  return false;
}
bool CpuRunsSimd(Sha256LaneEngine) {
  return false;
}

#endif

bool CpuRuns(Sha256LaneEngine engine) {
  switch (engine) {
    case Sha256LaneEngine::kScalar: return true;
    case Sha256LaneEngine::kShaNi: return sha256_detail::CpuRunsShaNi();
    case Sha256LaneEngine::kAvx2:
    case Sha256LaneEngine::kAvx512: return CpuRunsSimd(engine);
  }
  return false;
}

}  // namespace

std::string_view Sha256LaneEngineName(Sha256LaneEngine engine) {
  switch (engine) {
    case Sha256LaneEngine::kShaNi: return "sha-ni";
    case Sha256LaneEngine::kAvx2: return "avx2";
    case Sha256LaneEngine::kAvx512: return "avx512";
    case Sha256LaneEngine::kScalar: break;
  }
  return "scalar";
}

std::optional<Sha256LaneEngine> Sha256LaneEngineNamed(std::string_view name) {
  for (Sha256LaneEngine engine : kSha256LaneEngines) {
    if (name == Sha256LaneEngineName(engine)) return engine;
  }
  return std::nullopt;
}

std::size_t LaneCount(Sha256LaneEngine engine) {
  switch (engine) {
    case Sha256LaneEngine::kShaNi: return sha256_detail::kShaNiStreams;
    case Sha256LaneEngine::kAvx2: return 8;
    case Sha256LaneEngine::kAvx512: return 16;
    case Sha256LaneEngine::kScalar: break;
  }
  return 1;
}

std::size_t NarrowLaneCount(Sha256LaneEngine engine) {
  if (engine == Sha256LaneEngine::kShaNi) return sha256_detail::kShaNiNarrowStreams;
  return engine == Sha256LaneEngine::kAvx512 && CpuRunsNarrow512() ? 8 : LaneCount(engine);
}

bool Sha256LaneEngineSupported(Sha256LaneEngine engine) {
  return CpuRuns(engine);
}

void StartSha256Lane(Sha256LaneWords& words, std::size_t lane) {
  for (int w = 0; w < 8; ++w) words.h[w][lane] = sha256_detail::kStartWords[w];
}

std::array<std::uint32_t, 8> Sha256LaneChain(const Sha256LaneWords& words, std::size_t lane) {
  std::array<std::uint32_t, 8> chain;
  for (int w = 0; w < 8; ++w) chain[w] = words.h[w][lane];
  return chain;
}

void SetSha256Lane(Sha256LaneWords& words, std::size_t lane, const Sha256State& state) {
  assert(Sha256BytesFed(state) % 64 == 0);
  for (int w = 0; w < 8; ++w) words.h[w][lane] = state.h[w];
}

void TransformSha256Lanes(Sha256LaneEngine engine, Sha256LaneWords& words, const std::uint8_t* const* data,
                          std::size_t blocks, std::size_t lanes) {
  assert(Sha256LaneEngineSupported(engine) && lanes != 0);
  switch (engine) {
    case Sha256LaneEngine::kScalar: {
      std::uint32_t h[8];
      for (int w = 0; w < 8; ++w) h[w] = words.h[w][0];
      sha256_detail::CompressSha256Blocks(h, data[0], blocks);
      for (int w = 0; w < 8; ++w) words.h[w][0] = h[w];
      return;
    }
    case Sha256LaneEngine::kShaNi:
      return sha256_detail::CompressShaNiLanes(words, data, blocks,
                                               lanes <= sha256_detail::kShaNiNarrowStreams
                                                   ? sha256_detail::kShaNiNarrowStreams
                                                   : sha256_detail::kShaNiStreams);
    case Sha256LaneEngine::kAvx2:
    case Sha256LaneEngine::kAvx512: break;
  }
#ifdef QUILLORA_SIMD_LANES
  if (engine == Sha256LaneEngine::kAvx512) {
    if (lanes <= 8 && CpuRunsNarrow512()) return Avx512NarrowKernel(words, data, blocks);
    return Avx512Kernel(words, data, blocks);
  }
  return Avx2Kernel(words, data, blocks);
#else
  (void)lanes;  // no SIMD kernel: the caller broke the contract; nothing to do
#endif
}

}  // namespace quillora

#include "md5/md5_lanes.h"

#include <atomic>

#include "md5/md5_steps.h"

// The kernels need GCC or Clang's per-function targets on x86. Windows is
// left out: its 64-bit ABI does not align the stack for the 32- and 64-byte
// spills of these registers under GCC.
#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__)) && !defined(_WIN32)
#define QUILLORA_X86_LANES 1
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

#ifdef QUILLORA_X86_LANES

#define QUILLORA_KERNEL_TARGET(features) __attribute__((target(features)))
// Keeps a sum as it is: without it the compiler moves the step's constant
// after the round function, one more add on the chain through the previous
// step (the eight-lane kernel ran at 6.3 cycles a step instead of 5).
#define QUILLORA_KERNEL_OFF_CHAIN(v) __asm__("" : "+v"(v))
#include "md5/md5_simd_kernels.h"
#undef QUILLORA_KERNEL_TARGET
#undef QUILLORA_KERNEL_OFF_CHAIN

bool CpuHasNarrow512() {
  __builtin_cpu_init();
  static const bool has = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl");
  return has;
}

bool CpuHas(LaneEngine engine) {
  __builtin_cpu_init();
  switch (engine) {
    case LaneEngine::kAvx2:
      return __builtin_cpu_supports("avx2");
    case LaneEngine::kAvx512:
      return __builtin_cpu_supports("avx512f");
    case LaneEngine::kScalar:
      break;
  }
  return true;
}

#else  // no lane kernels in this build

bool CpuHas(LaneEngine engine) { return engine == LaneEngine::kScalar; }
bool CpuHasNarrow512() { return false; }

#endif

}  // namespace

std::string_view LaneEngineName(LaneEngine engine) {
  switch (engine) {
    case LaneEngine::kAvx2:
      return "avx2";
    case LaneEngine::kAvx512:
      return "avx512";
    case LaneEngine::kScalar:
      break;
  }
  return "scalar";
}

std::optional<LaneEngine> LaneEngineNamed(std::string_view name) {
  for (LaneEngine engine : kLaneEngines) {
    if (name == LaneEngineName(engine)) return engine;
  }
  return std::nullopt;
}

std::size_t LaneCount(LaneEngine engine) {
  switch (engine) {
    case LaneEngine::kAvx2:
      return 8;
    case LaneEngine::kAvx512:
      return 16;
    case LaneEngine::kScalar:
      break;
  }
  return 1;
}

std::size_t NarrowLaneCount(LaneEngine engine) {
  return engine == LaneEngine::kAvx512 && CpuHasNarrow512() ? 8 : LaneCount(engine);
}

bool LaneEngineSupported(LaneEngine engine) { return CpuHas(engine); }

void StartLane(LaneWords& words, std::size_t lane) {
  words.a[lane] = md5_detail::kStartWords[0];
  words.b[lane] = md5_detail::kStartWords[1];
  words.c[lane] = md5_detail::kStartWords[2];
  words.d[lane] = md5_detail::kStartWords[3];
}

void TransformLanes(LaneEngine engine, LaneWords& words, const std::uint8_t* const* data, std::size_t blocks,
                    std::size_t lanes) {
#ifdef QUILLORA_X86_LANES
  if (engine == LaneEngine::kAvx512) {
    if (lanes <= 8 && CpuHasNarrow512()) return Transform8Narrow(words, data, blocks);
    return Transform16(words, data, blocks);
  }
  if (engine == LaneEngine::kAvx2) return Transform8(words, data, blocks);
#else
  (void)words, (void)data, (void)blocks, (void)lanes;
#endif
  (void)engine;  // no lanes: the caller broke the contract; nothing to do
}

}  // namespace quillora

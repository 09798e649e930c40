// The AVX-512 lane kernels' very source (md5/md5_simd_kernels.h), compiled
// over SIMDe's portable intrinsics instead of the processor's, so that
// md5_test checks them against the scalar engine on a CPU without AVX-512.
// No target attributes: SIMDe's functions run on any CPU.
#define SIMDE_ENABLE_NATIVE_ALIASES
// Its 256-way switch of three-input logic stays a function, not inlined at
// every step: compiled in seconds rather than minutes.
#define SIMDE_CONSTRAINED_COMPILATION
#include <simde/x86/avx512.h>

#include <cstddef>
#include <cstdint>

#include "md5/md5_lanes.h"
#include "md5/md5_steps.h"

#if defined(__GNUC__) && !defined(__clang__)
// As in md5_lanes.cpp: SIMDe's vectors are left undefined on purpose where
// every lane is written next.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

namespace quillora::md5_simde_kernels {
namespace {

#define QUILLORA_KERNEL_TARGET(features)
#define QUILLORA_KERNEL_OFF_CHAIN(v)
#include "md5/md5_simd_kernels.h"

}  // namespace

void Avx512Narrow(LaneWords& words, const std::uint8_t* const* data, std::size_t blocks) {
  Transform8Narrow(words, data, blocks);
}

void Avx512(LaneWords& words, const std::uint8_t* const* data, std::size_t blocks) {
  Transform16(words, data, blocks);
}

}  // namespace quillora::md5_simde_kernels

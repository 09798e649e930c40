// The SIMD lane kernels' very source (sha256/sha256_simd_kernels.h), compiled
// over SIMDe's portable intrinsics instead of the processor's, so that
// sha256_test checks the AVX-512 kernels against the scalar engine on a CPU
// without AVX-512. No target attributes: SIMDe's functions run on any CPU.
#define SIMDE_ENABLE_NATIVE_ALIASES
// Its 256-way switch of three-input logic stays a function, not inlined in
// every round: compiled in seconds rather than minutes.
#define SIMDE_CONSTRAINED_COMPILATION
#include <simde/x86/avx512.h>

#include <cstddef>
#include <cstdint>

#include "sha256/sha256_lanes.h"
#include "sha256/sha256_steps.h"

#if defined(__GNUC__) && !defined(__clang__)
// As in sha256_lanes.cpp: SIMDe's vectors are left undefined on purpose
// where every lane is written next.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

namespace quillora::sha256_simde_kernels {
namespace {

#define QUILLORA_KERNEL_TARGET(features)
#define QUILLORA_KERNEL_OFF_CHAIN(v)
#include "sha256/sha256_simd_kernels.h"

}  // namespace

void Avx512Narrow(Sha256LaneWords& words, const std::uint8_t* const* data, std::size_t blocks) {
  Avx512NarrowKernel(words, data, blocks);
}

void Avx512(Sha256LaneWords& words, const std::uint8_t* const* data, std::size_t blocks) {
  Avx512Kernel(words, data, blocks);
}

}  // namespace quillora::sha256_simde_kernels

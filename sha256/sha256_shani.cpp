#include "sha256/sha256_shani.h"

#include "sha256/sha256_steps.h"

#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
#define QUILLORA_SHA_NI 1
#include <cpuid.h>
#include <immintrin.h>
#endif

namespace quillora::sha256_detail {

#ifdef QUILLORA_SHA_NI

namespace {

#define SHA_NI_TARGET __attribute__((target("sha,sse4.1,ssse3")))

// The working words as the instructions hold them, most significant dword
// first: ABEF = {A, B, E, F} and CDGH = {C, D, G, H}.
struct Packed {
  __m128i abef, cdgh;
};

SHA_NI_TARGET inline Packed Pack(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d, std::uint32_t e,
                                 std::uint32_t f, std::uint32_t g, std::uint32_t h) {
  const auto i = [](std::uint32_t v) { return static_cast<int>(v); };
  return {_mm_set_epi32(i(a), i(b), i(e), i(f)), _mm_set_epi32(i(c), i(d), i(g), i(h))};
}

// The eight words back, H0 to H7.
SHA_NI_TARGET inline void Unpack(const Packed& p, std::uint32_t out[8]) {
  alignas(16) std::uint32_t abef[4], cdgh[4];
  _mm_store_si128(reinterpret_cast<__m128i*>(abef), p.abef);
  _mm_store_si128(reinterpret_cast<__m128i*>(cdgh), p.cdgh);
  out[0] = abef[3], out[1] = abef[2], out[2] = cdgh[3], out[3] = cdgh[2];
  out[4] = abef[1], out[5] = abef[0], out[6] = cdgh[1], out[7] = cdgh[0];
}

// Blocks of N messages, the rounds of each interleaved four at a time. Each
// message's rounds form one chain of 32 SHA256RNDS2; the N chains are
// independent, so the processor overlaps them. The schedule's four words for
// rounds 4q + 16 on are made right after rounds 4q, from the ring of four
// vectors of four words, well before they are needed.
template <std::size_t N>
SHA_NI_TARGET inline void Blocks(Packed (&state)[N], const std::uint8_t* const* data, std::size_t blocks) {
  // Reverses the bytes of each dword: message words are big-endian.
  const __m128i byte_swap = _mm_set_epi64x(0x0c0d0e0f08090a0bLL, 0x0405060700010203LL);
  const auto* k = reinterpret_cast<const __m128i*>(kRoundConstants);
  for (std::size_t offset = 0; offset != blocks * 64; offset += 64) {
    __m128i m[N][4];
    Packed saved[N];
#pragma GCC unroll 4
    for (std::size_t s = 0; s < N; ++s) {
      for (int j = 0; j < 4; ++j)
        m[s][j] =
            _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data[s] + offset + 16 * j)), byte_swap);
      saved[s] = state[s];
    }
#pragma GCC unroll 16
    for (int q = 0; q < 16; ++q) {
      const __m128i constants = _mm_load_si128(k + q);
#pragma GCC unroll 4
      for (std::size_t s = 0; s < N; ++s) {
        __m128i kw = _mm_add_epi32(m[s][q & 3], constants);
        state[s].cdgh = _mm_sha256rnds2_epu32(state[s].cdgh, state[s].abef, kw);
        kw = _mm_shuffle_epi32(kw, 0x0e);
        state[s].abef = _mm_sha256rnds2_epu32(state[s].abef, state[s].cdgh, kw);
        if (q < 12) {
          const __m128i w9 = _mm_alignr_epi8(m[s][(q + 3) & 3], m[s][(q + 2) & 3], 4);
          const __m128i partial = _mm_add_epi32(_mm_sha256msg1_epu32(m[s][q & 3], m[s][(q + 1) & 3]), w9);
          m[s][q & 3] = _mm_sha256msg2_epu32(partial, m[s][(q + 3) & 3]);
        }
      }
    }
#pragma GCC unroll 4
    for (std::size_t s = 0; s < N; ++s) {
      state[s].abef = _mm_add_epi32(state[s].abef, saved[s].abef);
      state[s].cdgh = _mm_add_epi32(state[s].cdgh, saved[s].cdgh);
    }
  }
}

template <std::size_t N>
SHA_NI_TARGET void LaneBlocks(Sha256LaneWords& words, const std::uint8_t* const* data, std::size_t blocks) {
  const auto& h = words.h;
  Packed state[N];
  for (std::size_t s = 0; s < N; ++s)
    state[s] = Pack(h[0][s], h[1][s], h[2][s], h[3][s], h[4][s], h[5][s], h[6][s], h[7][s]);
  Blocks<N>(state, data, blocks);
  for (std::size_t s = 0; s < N; ++s) {
    std::uint32_t out[8];
    Unpack(state[s], out);
    for (int w = 0; w < 8; ++w) words.h[w][s] = out[w];
  }
}

}  // namespace

bool CpuRunsShaNi() {
  // Read from CPUID, not __builtin_cpu_supports: not every compiler that
  // builds this knows the "sha" feature by name.
  static const bool runs = [] {
    unsigned a, b, c, d;
    if (!__get_cpuid(1, &a, &b, &c, &d) || (c & bit_SSSE3) == 0 || (c & bit_SSE4_1) == 0) return false;
    return __get_cpuid_count(7, 0, &a, &b, &c, &d) && (b & bit_SHA) != 0;
  }();
  return runs;
}

SHA_NI_TARGET void CompressShaNi(std::uint32_t h[8], const std::uint8_t* data, std::size_t blocks) {
  Packed state[1] = {Pack(h[0], h[1], h[2], h[3], h[4], h[5], h[6], h[7])};
  Blocks<1>(state, &data, blocks);
  Unpack(state[0], h);
}

void CompressShaNiLanes(Sha256LaneWords& words, const std::uint8_t* const* data, std::size_t blocks,
                        std::size_t streams) {
  switch (streams) {
    case 1: return LaneBlocks<1>(words, data, blocks);
    case 2: return LaneBlocks<2>(words, data, blocks);
    case 3: return LaneBlocks<3>(words, data, blocks);
    default: return LaneBlocks<4>(words, data, blocks);
  }
}

#else  // no SHA instructions in this build

bool CpuRunsShaNi() {
  return false;
}
void CompressShaNi(std::uint32_t*, const std::uint8_t*, std::size_t) {}
void CompressShaNiLanes(Sha256LaneWords&, const std::uint8_t* const*, std::size_t, std::size_t) {}

#endif

}  // namespace quillora::sha256_detail

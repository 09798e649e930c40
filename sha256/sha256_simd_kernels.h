// The SIMD lane kernels' source: AVX2 (8 lanes), AVX-512 in 256-bit
// registers (8 lanes) and AVX-512 (16 lanes). Not a header of its own: two
// units include it, each inside a namespace of its own (an unnamed one), so
// the very same source is compiled twice:
//   - sha256/sha256_lanes.cpp, over the compiler's intrinsics, each kernel
//     under its target attribute: the kernels the program runs;
//   - sha256/sha256_simde_test.cpp, over SIMDe's portable versions of the
//     same intrinsics: the kernels checked against the scalar engine on any
//     CPU, including one without AVX-512.
// Before including it, a unit includes sha256/sha256_lanes.h,
// sha256/sha256_steps.h and the intrinsics, and defines
//   QUILLORA_KERNEL_TARGET(features)  a function's target attribute, or nothing
//   QUILLORA_KERNEL_OFF_CHAIN(v)      keeps the sum in vector v as it is, or nothing
// Each kernel: `blocks` 64-byte blocks of every lane, lane i reading from
// data[i], its words in and out of `words` (TransformSha256Lanes).

// A byte shuffle's indices that reverse the bytes of each 32-bit word of a
// 128-bit part, low and high half: message words are big-endian.
inline constexpr long long kByteSwapLow = 0x0405060700010203, kByteSwapHigh = 0x0c0d0e0f08090a0b;

// Each round constant sixteen times over: a kernel adds it to a vector
// straight from memory, in one instruction, where a broadcast of an
// immediate takes three.
struct alignas(64) LaneConstants {
  std::uint32_t k[64][16];
};
constexpr LaneConstants RepeatRoundConstants() {
  LaneConstants repeated{};
  for (int i = 0; i < 64; ++i) {
    for (int lane = 0; lane < 16; ++lane) repeated.k[i][lane] = sha256_detail::kRoundConstants[i];
  }
  return repeated;
}
inline constexpr LaneConstants kLaneConstants = RepeatRoundConstants();

// A kernel's body, with ADD and the rest of the round's operations defined
// (sha256/sha256_steps.h), over vectors of type V: the words in, every
// block's 64 rounds, the words out.
#define QUILLORA_SHA256_LANE_KERNEL(V, LOAD_WORDS, STORE_WORDS, LOAD_BLOCK)                 \
  V a, b, c, d, e, f, g, h, w[16];                                                         \
  LOAD_WORDS(words, a, b, c, d, e, f, g, h);                                               \
  for (std::size_t offset = 0; offset != blocks * 64; offset += 64) {                      \
    LOAD_BLOCK(data, offset, w);                                                           \
    const V aa = a, bb = b, cc = c, dd = d, ee = e, ff = f, gg = g, hh = h;                 \
    QUILLORA_SHA256_ROUNDS                                                                 \
    a = ADD(a, aa), b = ADD(b, bb), c = ADD(c, cc), d = ADD(d, dd);                         \
    e = ADD(e, ee), f = ADD(f, ff), g = ADD(g, gg), h = ADD(h, hh);                         \
  }                                                                                        \
  STORE_WORDS(words, a, b, c, d, e, f, g, h);

// ---- Eight lanes in 256-bit registers.

QUILLORA_KERNEL_TARGET("avx2")
inline void LoadWords8(const Sha256LaneWords& words, __m256i& a, __m256i& b, __m256i& c, __m256i& d, __m256i& e,
                       __m256i& f, __m256i& g, __m256i& h) {
  __m256i* const out[8] = {&a, &b, &c, &d, &e, &f, &g, &h};
  for (int k = 0; k < 8; ++k) *out[k] = _mm256_load_si256(reinterpret_cast<const __m256i*>(words.h[k]));
}

QUILLORA_KERNEL_TARGET("avx2")
inline void StoreWords8(Sha256LaneWords& words, __m256i a, __m256i b, __m256i c, __m256i d, __m256i e, __m256i f,
                        __m256i g, __m256i h) {
  const __m256i in[8] = {a, b, c, d, e, f, g, h};
  for (int k = 0; k < 8; ++k) _mm256_store_si256(reinterpret_cast<__m256i*>(words.h[k]), in[k]);
}

// Eight rows of eight words in, eight columns out: x[j] holds word j of
// every row. Loading whole half-blocks this way costs less than a gather.
QUILLORA_KERNEL_TARGET("avx2") inline void Transpose8(const __m256i r[8], __m256i* x) {
  __m256i t[8], u[8];
  for (int i = 0; i < 4; ++i) {
    t[2 * i] = _mm256_unpacklo_epi32(r[2 * i], r[2 * i + 1]);
    t[2 * i + 1] = _mm256_unpackhi_epi32(r[2 * i], r[2 * i + 1]);
  }
  // u[4i + m] holds, in its 128-bit half k, word 4k + m of rows 4i to 4i + 3.
  for (int i = 0; i < 2; ++i) {
    u[4 * i] = _mm256_unpacklo_epi64(t[4 * i], t[4 * i + 2]);
    u[4 * i + 1] = _mm256_unpackhi_epi64(t[4 * i], t[4 * i + 2]);
    u[4 * i + 2] = _mm256_unpacklo_epi64(t[4 * i + 1], t[4 * i + 3]);
    u[4 * i + 3] = _mm256_unpackhi_epi64(t[4 * i + 1], t[4 * i + 3]);
  }
  for (int m = 0; m < 4; ++m) {
    x[m] = _mm256_permute2x128_si256(u[m], u[4 + m], 0x20);
    x[4 + m] = _mm256_permute2x128_si256(u[m], u[4 + m], 0x31);
  }
}

// A block of each of eight lanes as sixteen columns (w[j]: word j of each
// lane), bytes swapped.
QUILLORA_KERNEL_TARGET("avx2")
inline void LoadBlock8(const std::uint8_t* const* data, std::size_t offset, __m256i w[16]) {
  const __m256i swap = _mm256_set_epi64x(kByteSwapHigh, kByteSwapLow, kByteSwapHigh, kByteSwapLow);
  for (int half = 0; half < 2; ++half) {
    __m256i r[8];
    for (int i = 0; i < 8; ++i) {
      const auto* p = reinterpret_cast<const __m256i*>(data[i] + offset + 32 * half);
      r[i] = _mm256_shuffle_epi8(_mm256_loadu_si256(p), swap);
    }
    Transpose8(r, w + 8 * half);
  }
}

// The round's operations on eight lanes common to both kernels.
#define ADD _mm256_add_epi32
#define KI(i) _mm256_load_si256(reinterpret_cast<const __m256i*>(kLaneConstants.k[i]))
#define OFF_CHAIN(v) QUILLORA_KERNEL_OFF_CHAIN(v)

// AVX2 has neither a rotation nor three-input logic: each rotation is two
// shifts and an OR, the functions take the scalar engine's forms.
QUILLORA_KERNEL_TARGET("avx2")
inline void Avx2Kernel(Sha256LaneWords& words, const std::uint8_t* const* data, std::size_t blocks) {
#define ROR(x, n) _mm256_or_si256(_mm256_srli_epi32(x, n), _mm256_slli_epi32(x, 32 - (n)))
#define XOR3(x, y, z) _mm256_xor_si256(_mm256_xor_si256(x, y), z)
#define BSIG0(x) XOR3(ROR(x, 2), ROR(x, 13), ROR(x, 22))
#define BSIG1(x) XOR3(ROR(x, 6), ROR(x, 11), ROR(x, 25))
#define SSIG0(x) XOR3(ROR(x, 7), ROR(x, 18), _mm256_srli_epi32(x, 3))
#define SSIG1(x) XOR3(ROR(x, 17), ROR(x, 19), _mm256_srli_epi32(x, 10))
#define CH(e, f, g) _mm256_xor_si256(_mm256_and_si256(_mm256_xor_si256(f, g), e), g)
#define MAJ(a, b, c) _mm256_or_si256(_mm256_and_si256(a, b), _mm256_and_si256(_mm256_or_si256(a, b), c))
  QUILLORA_SHA256_LANE_KERNEL(__m256i, LoadWords8, StoreWords8, LoadBlock8)
#undef ROR
#undef XOR3
#undef BSIG0
#undef BSIG1
#undef SSIG0
#undef SSIG1
#undef CH
#undef MAJ
}

// The functions of the AVX-512 kernels, one rotation each and one
// three-input logic instruction, whose immediate is the truth table over its
// operands (0xF0, 0xCC, 0xAA): 0x96 exclusive-or of all three, 0xCA choose,
// 0xE8 majority. Each kernel defines ROR, SHR and TERNARY at its width.
#define BSIG0(x) TERNARY(ROR(x, 2), ROR(x, 13), ROR(x, 22), 0x96)
#define BSIG1(x) TERNARY(ROR(x, 6), ROR(x, 11), ROR(x, 25), 0x96)
#define SSIG0(x) TERNARY(ROR(x, 7), ROR(x, 18), SHR(x, 3), 0x96)
#define SSIG1(x) TERNARY(ROR(x, 17), ROR(x, 19), SHR(x, 10), 0x96)
#define CH(e, f, g) TERNARY(e, f, g, 0xca)
#define MAJ(a, b, c) TERNARY(a, b, c, 0xe8)

// Eight lanes with AVX-512's rotation and three-input logic, in 256-bit
// registers: 57 in 100 of the AVX2 kernel's instructions per block, and on
// the CPUs that have them, each one as cheap as AVX2's. The sixteen-lane
// kernel issues as many instructions per round at double width, which those
// CPUs run on two ports where they run 256-bit ones on three: with eight
// messages or fewer in flight, this kernel takes about two thirds of its
// time. (Counted from the instructions; the machine this was written on has
// no AVX-512 to time it.)
QUILLORA_KERNEL_TARGET("avx512f,avx512vl,avx2")
inline void Avx512NarrowKernel(Sha256LaneWords& words, const std::uint8_t* const* data, std::size_t blocks) {
#define ROR _mm256_ror_epi32
#define SHR _mm256_srli_epi32
#define TERNARY _mm256_ternarylogic_epi32
  QUILLORA_SHA256_LANE_KERNEL(__m256i, LoadWords8, StoreWords8, LoadBlock8)
#undef ROR
#undef SHR
#undef TERNARY
}

#undef ADD
#undef KI

// ---- Sixteen lanes in 512-bit registers.

QUILLORA_KERNEL_TARGET("avx512f")
inline void LoadWords16(const Sha256LaneWords& words, __m512i& a, __m512i& b, __m512i& c, __m512i& d, __m512i& e,
                        __m512i& f, __m512i& g, __m512i& h) {
  __m512i* const out[8] = {&a, &b, &c, &d, &e, &f, &g, &h};
  for (int k = 0; k < 8; ++k) *out[k] = _mm512_load_si512(words.h[k]);
}

QUILLORA_KERNEL_TARGET("avx512f")
inline void StoreWords16(Sha256LaneWords& words, __m512i a, __m512i b, __m512i c, __m512i d, __m512i e, __m512i f,
                         __m512i g, __m512i h) {
  const __m512i in[8] = {a, b, c, d, e, f, g, h};
  for (int k = 0; k < 8; ++k) _mm512_store_si512(words.h[k], in[k]);
}

// Sixteen rows of sixteen words in, sixteen columns out: w[j] holds word j
// of every row, in four rounds of shuffles.
QUILLORA_KERNEL_TARGET("avx512f") inline void Transpose16(const __m512i r[16], __m512i w[16]) {
  __m512i t[16], u[16];
  for (int i = 0; i < 8; ++i) {
    t[2 * i] = _mm512_unpacklo_epi32(r[2 * i], r[2 * i + 1]);
    t[2 * i + 1] = _mm512_unpackhi_epi32(r[2 * i], r[2 * i + 1]);
  }
  // u[4i + m] holds, in its 128-bit part k, word 4k + m of rows 4i to 4i + 3.
  for (int i = 0; i < 4; ++i) {
    u[4 * i] = _mm512_unpacklo_epi64(t[4 * i], t[4 * i + 2]);
    u[4 * i + 1] = _mm512_unpackhi_epi64(t[4 * i], t[4 * i + 2]);
    u[4 * i + 2] = _mm512_unpacklo_epi64(t[4 * i + 1], t[4 * i + 3]);
    u[4 * i + 3] = _mm512_unpackhi_epi64(t[4 * i + 1], t[4 * i + 3]);
  }
  // Parts 0 and 2 (0x88) or 1 and 3 (0xdd) of two vectors, then of those.
  for (int m = 0; m < 4; ++m) {
    const __m512i s0 = _mm512_shuffle_i32x4(u[m], u[4 + m], 0x88);
    const __m512i s1 = _mm512_shuffle_i32x4(u[m], u[4 + m], 0xdd);
    const __m512i s2 = _mm512_shuffle_i32x4(u[8 + m], u[12 + m], 0x88);
    const __m512i s3 = _mm512_shuffle_i32x4(u[8 + m], u[12 + m], 0xdd);
    w[m] = _mm512_shuffle_i32x4(s0, s2, 0x88);
    w[4 + m] = _mm512_shuffle_i32x4(s1, s3, 0x88);
    w[8 + m] = _mm512_shuffle_i32x4(s0, s2, 0xdd);
    w[12 + m] = _mm512_shuffle_i32x4(s1, s3, 0xdd);
  }
}

QUILLORA_KERNEL_TARGET("avx512f,avx512bw")
inline void LoadBlock16(const std::uint8_t* const* data, std::size_t offset, __m512i w[16]) {
  const __m512i swap = _mm512_broadcast_i32x4(_mm_set_epi64x(kByteSwapHigh, kByteSwapLow));
  __m512i r[16];
  for (int i = 0; i < 16; ++i) r[i] = _mm512_shuffle_epi8(_mm512_loadu_si512(data[i] + offset), swap);
  Transpose16(r, w);
}

QUILLORA_KERNEL_TARGET("avx512f,avx512bw")
inline void Avx512Kernel(Sha256LaneWords& words, const std::uint8_t* const* data, std::size_t blocks) {
#define ADD _mm512_add_epi32
#define KI(i) _mm512_load_si512(kLaneConstants.k[i])
#define ROR _mm512_ror_epi32
#define SHR _mm512_srli_epi32
#define TERNARY _mm512_ternarylogic_epi32
  QUILLORA_SHA256_LANE_KERNEL(__m512i, LoadWords16, StoreWords16, LoadBlock16)
#undef ADD
#undef KI
#undef ROR
#undef SHR
#undef TERNARY
}

#undef BSIG0
#undef BSIG1
#undef SSIG0
#undef SSIG1
#undef CH
#undef MAJ
#undef OFF_CHAIN
#undef QUILLORA_SHA256_LANE_KERNEL

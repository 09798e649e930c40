// The MD5 lane kernels' source: AVX-512 (16 lanes), AVX2 (8 lanes) and
// AVX-512 in 256-bit registers (8 lanes). Not a header of its own: two units
// include it, each inside a namespace of its own (an unnamed one), so the
// very same source is compiled twice:
//   - md5/md5_lanes.cpp, over the compiler's intrinsics, each kernel under
//     its target attribute: the kernels the program runs;
//   - md5/md5_simde_test.cpp, over SIMDe's portable versions of the same
//     intrinsics: the AVX-512 kernels checked against the scalar engine on
//     any CPU, including one without AVX-512.
// Before including it, a unit includes md5/md5_lanes.h, md5/md5_steps.h and
// the intrinsics, and defines
//   QUILLORA_KERNEL_TARGET(features)  a function's target attribute, or nothing
//   QUILLORA_KERNEL_OFF_CHAIN(v)      keeps the sum in vector v as it is, or nothing
// Each kernel: `blocks` 64-byte blocks of every lane, lane i reading from
// data[i], its words in and out of `words` (TransformLanes).

#define OFF_CHAIN(v) QUILLORA_KERNEL_OFF_CHAIN(v)

// The message word and the constant are added first, off the chain through
// the previous step; the round function is one three-input logic instruction
// (its immediate is the truth table over b, c, d: 0xF0, 0xCC, 0xAA).
#define STEP512(imm, a, b, c, d, k, s, t)                                            \
  a = _mm512_add_epi32(a, _mm512_add_epi32(x[k], _mm512_set1_epi32(static_cast<int>(t)))); \
  OFF_CHAIN(a);                                                                      \
  a = _mm512_add_epi32(a, _mm512_ternarylogic_epi32(b, c, d, imm));                  \
  a = _mm512_add_epi32(_mm512_rol_epi32(a, s), b);

// Sixteen rows of sixteen words in, sixteen columns out: x[j] holds word j of
// every row. Four rounds of shuffles; loading whole blocks this way costs less
// than one gather per word.
QUILLORA_KERNEL_TARGET("avx512f") inline void Transpose16(__m512i r[16], __m512i x[16]) {
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
  for (int m = 0; m < 4; ++m) {
    const __m512i s0 = _mm512_shuffle_i32x4(u[m], u[4 + m], 0x88);
    const __m512i s1 = _mm512_shuffle_i32x4(u[m], u[4 + m], 0xdd);
    const __m512i s2 = _mm512_shuffle_i32x4(u[8 + m], u[12 + m], 0x88);
    const __m512i s3 = _mm512_shuffle_i32x4(u[8 + m], u[12 + m], 0xdd);
    x[m] = _mm512_shuffle_i32x4(s0, s2, 0x88);
    x[4 + m] = _mm512_shuffle_i32x4(s1, s3, 0x88);
    x[8 + m] = _mm512_shuffle_i32x4(s0, s2, 0xdd);
    x[12 + m] = _mm512_shuffle_i32x4(s1, s3, 0xdd);
  }
}

QUILLORA_KERNEL_TARGET("avx512f") inline void Transform16(LaneWords& words, const std::uint8_t* const* data,
                                                    std::size_t blocks) {
  __m512i a = _mm512_load_si512(words.a), b = _mm512_load_si512(words.b);
  __m512i c = _mm512_load_si512(words.c), d = _mm512_load_si512(words.d);
  for (std::size_t offset = 0; offset != blocks * 64; offset += 64) {
    __m512i r[16], x[16];
    for (int i = 0; i < 16; ++i) r[i] = _mm512_loadu_si512(data[i] + offset);
    Transpose16(r, x);
    const __m512i aa = a, bb = b, cc = c, dd = d;
#define F(a, b, c, d, k, s, t) STEP512(0xca, a, b, c, d, k, s, t)
#define G(a, b, c, d, k, s, t) STEP512(0xe4, a, b, c, d, k, s, t)
#define H(a, b, c, d, k, s, t) STEP512(0x96, a, b, c, d, k, s, t)
#define I(a, b, c, d, k, s, t) STEP512(0x39, a, b, c, d, k, s, t)
    QUILLORA_MD5_STEPS
#undef F
#undef G
#undef H
#undef I
    a = _mm512_add_epi32(a, aa);
    b = _mm512_add_epi32(b, bb);
    c = _mm512_add_epi32(c, cc);
    d = _mm512_add_epi32(d, dd);
  }
  _mm512_store_si512(words.a, a);
  _mm512_store_si512(words.b, b);
  _mm512_store_si512(words.c, c);
  _mm512_store_si512(words.d, d);
}

// AVX2 has neither a rotation nor three-input logic: the round functions take
// the scalar engine's forms.
#define ADD256 _mm256_add_epi32
#define ROL256(v, s) _mm256_or_si256(_mm256_slli_epi32(v, s), _mm256_srli_epi32(v, 32 - (s)))
#define BEGIN256(a, k, t) \
  a = ADD256(a, ADD256(x[k], _mm256_set1_epi32(static_cast<int>(t)))); \
  OFF_CHAIN(a);
#define END256(a, b, s) a = ADD256(ROL256(a, s), b);
#define F256(a, b, c, d, k, s, t) \
  BEGIN256(a, k, t) a = ADD256(a, _mm256_xor_si256(_mm256_and_si256(_mm256_xor_si256(c, d), b), d)); END256(a, b, s)
#define G256(a, b, c, d, k, s, t)                                                       \
  BEGIN256(a, k, t) a = ADD256(a, _mm256_andnot_si256(d, c)); a = ADD256(a, _mm256_and_si256(d, b)); \
  END256(a, b, s)
#define H256(a, b, c, d, k, s, t) \
  BEGIN256(a, k, t) a = ADD256(a, _mm256_xor_si256(_mm256_xor_si256(b, c), d)); END256(a, b, s)
#define I256(a, b, c, d, k, s, t)                                                                   \
  BEGIN256(a, k, t) a = ADD256(a, _mm256_xor_si256(c, _mm256_or_si256(b, _mm256_xor_si256(d, ones)))); \
  END256(a, b, s)

// Eight rows of eight words in, eight columns out (x[j]: word j of each row).
QUILLORA_KERNEL_TARGET("avx2") inline void Transpose8(const __m256i r[8], __m256i* x) {
  __m256i t[8], u[8];
  for (int i = 0; i < 4; ++i) {
    t[2 * i] = _mm256_unpacklo_epi32(r[2 * i], r[2 * i + 1]);
    t[2 * i + 1] = _mm256_unpackhi_epi32(r[2 * i], r[2 * i + 1]);
  }
  // u[4i + m] holds, in its 128-bit half h, word 4h + m of rows 4i to 4i + 3.
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

// The eight-lane kernels' words in and out, and a block of each lane as
// sixteen columns (x[j]: word j of each lane).
QUILLORA_KERNEL_TARGET("avx2") inline void LoadWords8(const LaneWords& words, __m256i& a, __m256i& b, __m256i& c,
                                                       __m256i& d) {
  a = _mm256_load_si256(reinterpret_cast<const __m256i*>(words.a));
  b = _mm256_load_si256(reinterpret_cast<const __m256i*>(words.b));
  c = _mm256_load_si256(reinterpret_cast<const __m256i*>(words.c));
  d = _mm256_load_si256(reinterpret_cast<const __m256i*>(words.d));
}

QUILLORA_KERNEL_TARGET("avx2") inline void StoreWords8(LaneWords& words, __m256i a, __m256i b, __m256i c,
                                                        __m256i d) {
  _mm256_store_si256(reinterpret_cast<__m256i*>(words.a), a);
  _mm256_store_si256(reinterpret_cast<__m256i*>(words.b), b);
  _mm256_store_si256(reinterpret_cast<__m256i*>(words.c), c);
  _mm256_store_si256(reinterpret_cast<__m256i*>(words.d), d);
}

QUILLORA_KERNEL_TARGET("avx2") inline void LoadBlock8(const std::uint8_t* const* data, std::size_t offset,
                                                       __m256i x[16]) {
  __m256i r[8];
  for (int half = 0; half < 2; ++half) {
    for (int i = 0; i < 8; ++i) r[i] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data[i] + offset + 32 * half));
    Transpose8(r, x + 8 * half);
  }
}

// An eight-lane kernel's body, with F, G, H and I defined as its steps:
// the words in, every block's 64 steps, the words out.
#define QUILLORA_EIGHT_LANE_BLOCKS                                                \
  __m256i a, b, c, d, x[16];                                                     \
  LoadWords8(words, a, b, c, d);                                                 \
  for (std::size_t offset = 0; offset != blocks * 64; offset += 64) {            \
    LoadBlock8(data, offset, x);                                                 \
    const __m256i aa = a, bb = b, cc = c, dd = d;                                \
    QUILLORA_MD5_STEPS                                                           \
    a = ADD256(a, aa), b = ADD256(b, bb), c = ADD256(c, cc), d = ADD256(d, dd); \
  }                                                                              \
  StoreWords8(words, a, b, c, d);

QUILLORA_KERNEL_TARGET("avx2") inline void Transform8(LaneWords& words, const std::uint8_t* const* data,
                                                std::size_t blocks) {
  const __m256i ones = _mm256_set1_epi32(-1);
#define F F256
#define G G256
#define H H256
#define I I256
  QUILLORA_EIGHT_LANE_BLOCKS
#undef F
#undef G
#undef H
#undef I
}

// Eight lanes in 256-bit registers with AVX-512's rotation and three-input
// logic. A step's chain (logic, add, rotate, add) bounds a kernel's speed per
// lane, not its width: here each lane runs about half as fast again as in
// the sixteen-lane kernel, whose double-width instructions cost twice the
// issue slots. So up to eight messages are digested faster here, each.
#define STEP256VL(imm, a, b, c, d, k, s, t)                                         \
  a = ADD256(a, ADD256(x[k], _mm256_set1_epi32(static_cast<int>(t))));             \
  OFF_CHAIN(a);                                                                     \
  a = ADD256(a, _mm256_ternarylogic_epi32(b, c, d, imm));                           \
  a = ADD256(_mm256_rol_epi32(a, s), b);

QUILLORA_KERNEL_TARGET("avx512f,avx512vl") inline void Transform8Narrow(LaneWords& words, const std::uint8_t* const* data,
                                                                  std::size_t blocks) {
#define F(a, b, c, d, k, s, t) STEP256VL(0xca, a, b, c, d, k, s, t)
#define G(a, b, c, d, k, s, t) STEP256VL(0xe4, a, b, c, d, k, s, t)
#define H(a, b, c, d, k, s, t) STEP256VL(0x96, a, b, c, d, k, s, t)
#define I(a, b, c, d, k, s, t) STEP256VL(0x39, a, b, c, d, k, s, t)
  QUILLORA_EIGHT_LANE_BLOCKS
#undef F
#undef G
#undef H
#undef I
}

#undef OFF_CHAIN

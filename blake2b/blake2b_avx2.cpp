// The AVX2 compression function: one message, its 4 x 4 words as four rows
// of four in 256-bit registers, so each G step runs on a whole row (the four
// columns, then the four diagonals once the rows are turned).
//
// Built only for x86-64 with GCC or Clang, whose per-function targets keep
// the rest of the build at the compiler's default target. Windows is left
// out, as md5/md5_lanes.cpp says why: its ABI does not align the stack for
// the 32-byte spills of these registers under GCC.
#include "blake2b/blake2b_kernels.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__)) && !defined(_WIN32)
#define QUILLORA_BLAKE2B_AVX2 1
#include <immintrin.h>
#endif

namespace quillora::blake2b_detail {
namespace {

#ifdef QUILLORA_BLAKE2B_AVX2

// A message word read in place from the block's bytes, at any alignment.
typedef long long MessageWord __attribute__((may_alias, aligned(1)));

// Rotations right by 32, 24, 16 and 63 bits of each 64-bit word: the first
// three move whole bytes (one shuffle), the last is a shift and a doubling.
#define ROTR32(x) _mm256_shuffle_epi32(x, _MM_SHUFFLE(2, 3, 0, 1))
#define ROTR24(x) _mm256_shuffle_epi8(x, rotr24)
#define ROTR16(x) _mm256_shuffle_epi8(x, rotr16)
#define ROTR63(x) _mm256_or_si256(_mm256_srli_epi64(x, 63), _mm256_add_epi64(x, x))

// Keeps a sum as it is: without it the compiler adds the message word to b
// first, one more add on the chain through the previous step.
#define OFF_CHAIN(v) __asm__("" : "+x"(v))

// The G function on every lane of the rows at once, its first message word
// from x, its second from y. The message is added to a first, while b is
// still being computed.
#define G4(x, y) \
  a = _mm256_add_epi64(a, x); \
  OFF_CHAIN(a); \
  a = _mm256_add_epi64(a, b); \
  d = ROTR32(_mm256_xor_si256(d, a)); \
  c = _mm256_add_epi64(c, d); \
  b = ROTR24(_mm256_xor_si256(b, c)); \
  a = _mm256_add_epi64(a, y); \
  OFF_CHAIN(a); \
  a = _mm256_add_epi64(a, b); \
  d = ROTR16(_mm256_xor_si256(d, a)); \
  c = _mm256_add_epi64(c, d); \
  b = ROTR63(_mm256_xor_si256(b, c));

// Four message words of one round, lowest lane first. Columns: lane i is
// column i (G number i). Diagonals: the rows a, c and d are turned and b is
// not, which puts diagonal i in lane i + 1. b comes last out of G, so
// turning it would put a permute's latency on the chain into the next step:
// on Zen 3 that kernel took 4.4 cycles a byte, this one 3.1.
#define WORD(s, i) words[s[i]]
#define COLUMNS(s, k) _mm256_set_epi64x(WORD(s, k + 6), WORD(s, k + 4), WORD(s, k + 2), WORD(s, k))
#define DIAGONALS(s, k) _mm256_set_epi64x(WORD(s, k + 12), WORD(s, k + 10), WORD(s, k + 8), WORD(s, k + 14))

// Lane i of the turned rows holds a's word i - 1, b's i, c's i + 1 and d's
// i + 2: the words of diagonal i - 1 (a[j], b[j + 1], c[j + 2], d[j + 3]).
#define DIAGONALIZE \
  a = _mm256_permute4x64_epi64(a, _MM_SHUFFLE(2, 1, 0, 3)); \
  c = _mm256_permute4x64_epi64(c, _MM_SHUFFLE(0, 3, 2, 1)); \
  d = _mm256_permute4x64_epi64(d, _MM_SHUFFLE(1, 0, 3, 2));
#define UNDIAGONALIZE \
  a = _mm256_permute4x64_epi64(a, _MM_SHUFFLE(0, 3, 2, 1)); \
  c = _mm256_permute4x64_epi64(c, _MM_SHUFFLE(2, 1, 0, 3)); \
  d = _mm256_permute4x64_epi64(d, _MM_SHUFFLE(1, 0, 3, 2));

#define ROUND_AVX2(r) \
  { \
    constexpr const std::uint8_t* s = kSigma[r % 10]; \
    G4(COLUMNS(s, 0), COLUMNS(s, 1)) \
    DIAGONALIZE \
    G4(DIAGONALS(s, 0), DIAGONALS(s, 1)) \
    UNDIAGONALIZE \
  }

__attribute__((target("avx2"))) void CompressAvx2(std::uint64_t h[8], const std::uint8_t* data, std::size_t count,
                                                  std::uint64_t counter, std::uint64_t final_flag) {
  const __m256i rotr24 = _mm256_setr_epi8(3, 4, 5, 6, 7, 0, 1, 2, 11, 12, 13, 14, 15, 8, 9, 10, 3, 4, 5, 6, 7, 0, 1, 2,
                                          11, 12, 13, 14, 15, 8, 9, 10);
  const __m256i rotr16 = _mm256_setr_epi8(2, 3, 4, 5, 6, 7, 0, 1, 10, 11, 12, 13, 14, 15, 8, 9, 2, 3, 4, 5, 6, 7, 0, 1,
                                          10, 11, 12, 13, 14, 15, 8, 9);
  const __m256i iv_low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(kIv));
  const __m256i iv_high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(kIv + 4));
  __m256i h_low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(h));
  __m256i h_high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(h + 4));
  for (; count > 0; --count, data += 128, counter += 128) {
    // Read where they are, not copied out first (a copy costs 4% here); x86
    // is little-endian, as the message words are.
    const auto* words = reinterpret_cast<const MessageWord*>(data);
    __m256i a = h_low, b = h_high, c = iv_low;
    __m256i d = _mm256_xor_si256(
        iv_high, _mm256_set_epi64x(0, static_cast<long long>(final_flag), 0, static_cast<long long>(counter)));
    QUILLORA_BLAKE2B_ROUNDS(ROUND_AVX2)
    h_low = _mm256_xor_si256(h_low, _mm256_xor_si256(a, c));
    h_high = _mm256_xor_si256(h_high, _mm256_xor_si256(b, d));
  }
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(h), h_low);
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(h + 4), h_high);
}

#endif

}  // namespace

#ifdef QUILLORA_BLAKE2B_AVX2
const CompressFunction kCompressAvx2 = CompressAvx2;
#else
const CompressFunction kCompressAvx2 = nullptr;
#endif

}  // namespace quillora::blake2b_detail

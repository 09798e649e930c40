// The constants of FIPS 180-4 for SHA-256, and its round and message
// schedule written once, for the family's kernels only. The portable engine
// and every lane kernel expand the same macros, each with its own
// operations, so no kernel can drift from another. (The SHA-NI engine has the
// rounds in silicon and takes only the constants.)
#pragma once

#include <cstdint>

namespace quillora::sha256_detail {

// H0 to H7 before the first block.
inline constexpr std::uint32_t kStartWords[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                                 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};

// K0 to K63. Aligned so that a kernel takes four at a time straight from memory.
alignas(64) inline constexpr std::uint32_t kRoundConstants[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2,
};

}  // namespace quillora::sha256_detail

// A kernel expands these with its own operations defined as macros:
//   ADD(x, y)                 the sum of two words modulo 2^32
//   BSIG0(x), BSIG1(x)        the functions written with capital sigma
//   SSIG0(x), SSIG1(x)        the schedule's functions, small sigma
//   CH(e, f, g), MAJ(a, b, c) choose and majority
//   KI(i)                     round constant i (0 to 63, not always a
//                             constant expression) in the kernel's form
//   OFF_CHAIN(v)              keeps the sum in v as it is (or nothing)
// and w, an array of 16 words holding the block's message words 0 to 15,
// most significant byte first, when the rounds begin.

// Message word n + k (n: 16, 32 or 48; k: 0 to 15) in place of word
// n + k - 16, in the ring of 16: W[i] = SSIG1(W[i-2]) + W[i-7] + SSIG0(W[i-15])
// + W[i-16].
#define QUILLORA_SHA256_SCHEDULE(k)                                                          \
  w[k] = ADD(ADD(w[k], SSIG0(w[((k) + 1) & 15])), ADD(w[((k) + 9) & 15], SSIG1(w[((k) + 14) & 15])));

// Round n + k over the working words named a to h this round: d takes the
// new e and h the new a. The round constant and the message word join h
// first, apart from the chain through e, which that sum does not wait on.
#define QUILLORA_SHA256_ROUND(a, b, c, d, e, f, g, h, k, n) \
  h = ADD(h, ADD(w[k], KI((n) + (k))));                     \
  OFF_CHAIN(h);                                             \
  h = ADD(h, CH(e, f, g));                                  \
  h = ADD(h, BSIG1(e));                                     \
  d = ADD(d, h);                                            \
  h = ADD(h, ADD(BSIG0(a), MAJ(a, b, c)));
#define QUILLORA_SHA256_SCHEDULED_ROUND(a, b, c, d, e, f, g, h, k, n) \
  QUILLORA_SHA256_SCHEDULE(k) QUILLORA_SHA256_ROUND(a, b, c, d, e, f, g, h, k, n)

// Sixteen rounds from round n, each one step R. The working words change
// roles by name from one round to the next, so no kernel moves a word
// between registers, and after sixteen each has its own name again.
#define QUILLORA_SHA256_SIXTEEN(R, n)                                                            \
  R(a, b, c, d, e, f, g, h, 0, n) R(h, a, b, c, d, e, f, g, 1, n) R(g, h, a, b, c, d, e, f, 2, n)   \
  R(f, g, h, a, b, c, d, e, 3, n) R(e, f, g, h, a, b, c, d, 4, n) R(d, e, f, g, h, a, b, c, 5, n)   \
  R(c, d, e, f, g, h, a, b, 6, n) R(b, c, d, e, f, g, h, a, 7, n) R(a, b, c, d, e, f, g, h, 8, n)   \
  R(h, a, b, c, d, e, f, g, 9, n) R(g, h, a, b, c, d, e, f, 10, n) R(f, g, h, a, b, c, d, e, 11, n) \
  R(e, f, g, h, a, b, c, d, 12, n) R(d, e, f, g, h, a, b, c, 13, n) R(c, d, e, f, g, h, a, b, 14, n) \
  R(b, c, d, e, f, g, h, a, 15, n)

// The 64 rounds of one block: sixteen on the message words, then three
// times sixteen that make their words first. A loop, not 64 rounds in a row:
// a SIMD kernel's 64 rounds outgrow the processor's cache of decoded
// instructions, and decoding them anew each block slowed every kernel.
#define QUILLORA_SHA256_ROUNDS                                                   \
  QUILLORA_SHA256_SIXTEEN(QUILLORA_SHA256_ROUND, 0)                              \
  for (int rounds_done = 16; rounds_done != 64; rounds_done += 16) {             \
    QUILLORA_SHA256_SIXTEEN(QUILLORA_SHA256_SCHEDULED_ROUND, rounds_done)        \
  }

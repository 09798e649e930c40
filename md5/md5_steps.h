// The constants of RFC 1321, for the engine's kernels only: the start words
// and the 64 steps. The scalar engine and every lane kernel expand the same
// table, each with its own step macros, so no kernel can drift from another.
#pragma once

#include <cstdint>

namespace quillora::md5_detail {

// A, B, C, D before the first block.
inline constexpr std::uint32_t kStartWords[4] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};

}  // namespace quillora::md5_detail

// The 64 steps in order: the round function (F, G, H, I), the word that is
// the step's target and the three others, the message word, the rotation and
// the additive constant. A kernel defines F, G, H and I as its steps (k: the
// message word's index) and expands QUILLORA_MD5_STEPS.
#define QUILLORA_MD5_STEPS \
  F(a,b,c,d,0,7,0xd76aa478) F(d,a,b,c,1,12,0xe8c7b756) F(c,d,a,b,2,17,0x242070db) F(b,c,d,a,3,22,0xc1bdceee) \
  F(a,b,c,d,4,7,0xf57c0faf) F(d,a,b,c,5,12,0x4787c62a) F(c,d,a,b,6,17,0xa8304613) F(b,c,d,a,7,22,0xfd469501) \
  F(a,b,c,d,8,7,0x698098d8) F(d,a,b,c,9,12,0x8b44f7af) F(c,d,a,b,10,17,0xffff5bb1) F(b,c,d,a,11,22,0x895cd7be) \
  F(a,b,c,d,12,7,0x6b901122) F(d,a,b,c,13,12,0xfd987193) F(c,d,a,b,14,17,0xa679438e) F(b,c,d,a,15,22,0x49b40821) \
  G(a,b,c,d,1,5,0xf61e2562) G(d,a,b,c,6,9,0xc040b340) G(c,d,a,b,11,14,0x265e5a51) G(b,c,d,a,0,20,0xe9b6c7aa) \
  G(a,b,c,d,5,5,0xd62f105d) G(d,a,b,c,10,9,0x02441453) G(c,d,a,b,15,14,0xd8a1e681) G(b,c,d,a,4,20,0xe7d3fbc8) \
  G(a,b,c,d,9,5,0x21e1cde6) G(d,a,b,c,14,9,0xc33707d6) G(c,d,a,b,3,14,0xf4d50d87) G(b,c,d,a,8,20,0x455a14ed) \
  G(a,b,c,d,13,5,0xa9e3e905) G(d,a,b,c,2,9,0xfcefa3f8) G(c,d,a,b,7,14,0x676f02d9) G(b,c,d,a,12,20,0x8d2a4c8a) \
  H(a,b,c,d,5,4,0xfffa3942) H(d,a,b,c,8,11,0x8771f681) H(c,d,a,b,11,16,0x6d9d6122) H(b,c,d,a,14,23,0xfde5380c) \
  H(a,b,c,d,1,4,0xa4beea44) H(d,a,b,c,4,11,0x4bdecfa9) H(c,d,a,b,7,16,0xf6bb4b60) H(b,c,d,a,10,23,0xbebfbc70) \
  H(a,b,c,d,13,4,0x289b7ec6) H(d,a,b,c,0,11,0xeaa127fa) H(c,d,a,b,3,16,0xd4ef3085) H(b,c,d,a,6,23,0x04881d05) \
  H(a,b,c,d,9,4,0xd9d4d039) H(d,a,b,c,12,11,0xe6db99e5) H(c,d,a,b,15,16,0x1fa27cf8) H(b,c,d,a,2,23,0xc4ac5665) \
  I(a,b,c,d,0,6,0xf4292244) I(d,a,b,c,7,10,0x432aff97) I(c,d,a,b,14,15,0xab9423a7) I(b,c,d,a,5,21,0xfc93a039) \
  I(a,b,c,d,12,6,0x655b59c3) I(d,a,b,c,3,10,0x8f0ccc92) I(c,d,a,b,10,15,0xffeff47d) I(b,c,d,a,1,21,0x85845dd1) \
  I(a,b,c,d,8,6,0x6fa87e4f) I(d,a,b,c,15,10,0xfe2ce6e0) I(c,d,a,b,6,15,0xa3014314) I(b,c,d,a,13,21,0x4e0811a1) \
  I(a,b,c,d,4,6,0xf7537e82) I(d,a,b,c,11,10,0xbd3af235) I(c,d,a,b,2,15,0x2ad7d2bb) I(b,c,d,a,9,21,0xeb86d391)

// What both compression functions of blake2b.cpp share: the start words, the
// message schedule and the kernels' one signature. Internal to blake2b/.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quillora::blake2b_detail {

// SHA-512's start words, as RFC 7693 takes them.
inline constexpr std::uint64_t kIv[8] = {
    0x6a09e667f3bcc908, 0xbb67ae8584caa73b, 0x3c6ef372fe94f82b, 0xa54ff53a5f1d36f1,
    0x510e527fade682d1, 0x9b05688c2b3e6c1f, 0x1f83d9abfb41bd6b, 0x5be0cd19137e2179,
};

// Which message word each round's G functions take, in order (RFC 7693,
// 2.7). Rounds 10 and 11 take rounds 0 and 1's again.
inline constexpr std::uint8_t kSigma[10][16] = {
    {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}, {14, 10, 4, 8, 9, 15, 13, 6, 1, 12, 0, 2, 11, 7, 5, 3},
    {11, 8, 12, 0, 5, 2, 15, 13, 10, 14, 3, 6, 7, 1, 9, 4}, {7, 9, 3, 1, 13, 12, 11, 14, 2, 6, 5, 10, 4, 0, 15, 8},
    {9, 0, 5, 7, 2, 4, 10, 15, 14, 1, 11, 12, 6, 8, 3, 13}, {2, 12, 6, 10, 0, 11, 8, 3, 4, 13, 7, 5, 15, 14, 1, 9},
    {12, 5, 1, 15, 14, 13, 4, 10, 0, 7, 6, 3, 9, 2, 8, 11}, {13, 11, 7, 14, 12, 1, 3, 9, 5, 0, 15, 4, 8, 6, 2, 10},
    {6, 15, 14, 9, 11, 3, 0, 8, 12, 2, 13, 7, 1, 4, 10, 5}, {10, 2, 8, 4, 7, 6, 1, 5, 15, 11, 9, 14, 3, 12, 13, 0},
};
inline constexpr int kRounds = 12;

// Calls round(R) for R = 0 .. 11 with R a constant, so each round's schedule
// is known where it is compiled.
#define QUILLORA_BLAKE2B_ROUNDS(round) \
  round(0) round(1) round(2) round(3) round(4) round(5) round(6) round(7) round(8) round(9) round(10) round(11)

// Compresses `count` blocks at data into h. Block i's counter is
// counter + 128 * i; final_flag (0, or all ones for a message's last block,
// then count is 1) goes into every one.
using CompressFunction = void (*)(std::uint64_t h[8], const std::uint8_t* data, std::size_t count,
                                  std::uint64_t counter, std::uint64_t final_flag);

void CompressPortable(std::uint64_t h[8], const std::uint8_t* data, std::size_t count, std::uint64_t counter,
                      std::uint64_t final_flag);

// Null where the build has no AVX2 kernel.
extern const CompressFunction kCompressAvx2;

}  // namespace quillora::blake2b_detail

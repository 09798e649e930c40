#include "blake2b/blake2b.h"

#include <atomic>
#include <bit>
#include <cassert>
#include <cstring>

#include "blake2b/blake2b_kernels.h"

namespace quillora {
namespace {

using blake2b_detail::kIv;
using blake2b_detail::kSigma;

std::uint64_t LoadLittleEndian(const std::uint8_t* bytes) {
  std::uint64_t word = 0;
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(&word, bytes, sizeof word);
  } else {
    for (int i = 7; i >= 0; --i) word = word << 8 | bytes[i];
  }
  return word;
}

inline void G(std::uint64_t& a, std::uint64_t& b, std::uint64_t& c, std::uint64_t& d, std::uint64_t x,
              std::uint64_t y) {
  a = a + b + x;
  d = std::rotr(d ^ a, 32);
  c = c + d;
  b = std::rotr(b ^ c, 24);
  a = a + b + y;
  d = std::rotr(d ^ a, 16);
  c = c + d;
  b = std::rotr(b ^ c, 63);
}

// One round: the columns, then the diagonals of the 4 x 4 words.
template <int R>
inline void Round(std::uint64_t v[16], const std::uint64_t m[16]) {
  constexpr const std::uint8_t* s = kSigma[R % 10];
  G(v[0], v[4], v[8], v[12], m[s[0]], m[s[1]]);
  G(v[1], v[5], v[9], v[13], m[s[2]], m[s[3]]);
  G(v[2], v[6], v[10], v[14], m[s[4]], m[s[5]]);
  G(v[3], v[7], v[11], v[15], m[s[6]], m[s[7]]);
  G(v[0], v[5], v[10], v[15], m[s[8]], m[s[9]]);
  G(v[1], v[6], v[11], v[12], m[s[10]], m[s[11]]);
  G(v[2], v[7], v[8], v[13], m[s[12]], m[s[13]]);
  G(v[3], v[4], v[9], v[14], m[s[14]], m[s[15]]);
}

blake2b_detail::CompressFunction KernelFunction(Blake2bKernel kernel) {
  return kernel == Blake2bKernel::kAvx2 ? blake2b_detail::kCompressAvx2 : blake2b_detail::CompressPortable;
}

bool CpuHasAvx2() {
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2");
#else
  return false;
#endif
}

// The kernel of this CPU, chosen once: AVX2 wherever the CPU has it, since
// on AMD Zen 3 it takes 3.1 cycles a byte against the portable kernel's 3.5
// (bench/blake2b_bench.sh times the two; a CPU where it loses would need
// its own test here).
Blake2bKernel Chosen() {
  static const Blake2bKernel chosen =
      Blake2bKernelSupported(Blake2bKernel::kAvx2) ? Blake2bKernel::kAvx2 : Blake2bKernel::kPortable;
  return chosen;
}

// -1 while no kernel is forced.
std::atomic<int> forced_kernel{-1};

blake2b_detail::CompressFunction Compress() {
  return KernelFunction(Blake2bKernelInUse());
}

}  // namespace

namespace blake2b_detail {

void CompressPortable(std::uint64_t h[8], const std::uint8_t* data, std::size_t count, std::uint64_t counter,
                      std::uint64_t final_flag) {
  for (; count > 0; --count, data += kBlake2bBlockSize, counter += kBlake2bBlockSize) {
    std::uint64_t m[16];
    for (int i = 0; i < 16; ++i) m[i] = LoadLittleEndian(data + 8 * i);
    std::uint64_t v[16];
    for (int i = 0; i < 8; ++i) v[i] = h[i], v[i + 8] = kIv[i];
    v[12] ^= counter;  // the counter's high word stays 0: no message reaches 2^64 bytes
    v[14] ^= final_flag;
#define QUILLORA_ROUND(r) Round<r>(v, m);
    QUILLORA_BLAKE2B_ROUNDS(QUILLORA_ROUND)
#undef QUILLORA_ROUND
    for (int i = 0; i < 8; ++i) h[i] ^= v[i] ^ v[i + 8];
  }
}

}  // namespace blake2b_detail

void StartBlake2b(Blake2bState& state, std::size_t out_bytes) {
  assert(out_bytes >= 1 && out_bytes <= kBlake2bMaxBytes);
  std::memset(&state, 0, sizeof state);
  for (int i = 0; i < 8; ++i) state.h[i] = kIv[i];
  // The parameter block's first word: the digest's length, no key, fanout
  // and depth 1 (sequential mode); the others are 0.
  state.h[0] ^= 0x01010000 ^ out_bytes;
  state.out_bytes = out_bytes;
}

void ResumeBlake2b(Blake2bState& state, std::size_t out_bytes, const std::uint64_t words[8], std::uint64_t bytes) {
  assert(out_bytes >= 1 && out_bytes <= kBlake2bMaxBytes && bytes % kBlake2bBlockSize == 0);
  std::memset(&state, 0, sizeof state);
  std::memcpy(state.h, words, sizeof state.h);
  state.compressed = bytes;
  state.out_bytes = out_bytes;
}

void FeedBlake2b(Blake2bState& state, const void* data, std::size_t count) {
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  const std::size_t room = kBlake2bBlockSize - state.held;
  if (count <= room) {
    if (count > 0) std::memcpy(state.block + state.held, bytes, count);
    state.held += count;
    return;
  }
  // More follows the held block, so it is not the last.
  const blake2b_detail::CompressFunction compress = Compress();
  if (state.held > 0) {
    std::memcpy(state.block + state.held, bytes, room);
    bytes += room;
    count -= room;
    compress(state.h, state.block, 1, state.compressed + kBlake2bBlockSize, 0);
    state.compressed += kBlake2bBlockSize;
    state.held = 0;
  }
  // Whole blocks straight from data, all but the last byte's block.
  const std::size_t blocks = (count - 1) / kBlake2bBlockSize;
  if (blocks > 0) {
    compress(state.h, bytes, blocks, state.compressed + kBlake2bBlockSize, 0);
    state.compressed += blocks * kBlake2bBlockSize;
    bytes += blocks * kBlake2bBlockSize;
    count -= blocks * kBlake2bBlockSize;
  }
  std::memcpy(state.block, bytes, count);
  state.held = count;
}

Blake2bDigest FinishBlake2b(Blake2bState& state) {
  // A resumed state that was fed nothing more lost its last block to the kernel.
  assert(state.held > 0 || state.compressed == 0);
  std::memset(state.block + state.held, 0, kBlake2bBlockSize - state.held);
  Compress()(state.h, state.block, 1, state.compressed + state.held, ~std::uint64_t{0});
  Blake2bDigest digest;
  digest.size = state.out_bytes;
  for (std::size_t i = 0; i < digest.size; ++i)
    digest.bytes[i] = static_cast<std::uint8_t>(state.h[i / 8] >> (8 * (i % 8)));
  std::memset(&state, 0, sizeof state);
  return digest;
}

Blake2bDigest Blake2bOf(std::size_t out_bytes, std::string_view bytes) {
  Blake2bState state;
  StartBlake2b(state, out_bytes);
  FeedBlake2b(state, bytes.data(), bytes.size());
  return FinishBlake2b(state);
}

bool Blake2bKernelSupported(Blake2bKernel kernel) {
  if (kernel == Blake2bKernel::kAvx2) return blake2b_detail::kCompressAvx2 != nullptr && CpuHasAvx2();
  return true;
}

Blake2bKernel Blake2bKernelInUse() {
  const int forced = forced_kernel.load(std::memory_order_relaxed);
  return forced < 0 ? Chosen() : static_cast<Blake2bKernel>(forced);
}

bool ForceBlake2bKernel(Blake2bKernel kernel) {
  if (!Blake2bKernelSupported(kernel)) return false;
  forced_kernel = static_cast<int>(kernel);
  return true;
}

void ClearForcedBlake2bKernel() {
  forced_kernel = -1;
}

void CompressBlake2b(Blake2bKernel kernel, std::uint64_t words[8], const std::uint8_t* data, std::size_t count,
                     std::uint64_t compressed) {
  assert(Blake2bKernelSupported(kernel));
  KernelFunction(kernel)(words, data, count, compressed + kBlake2bBlockSize, 0);
}

void CompressLastBlake2b(Blake2bKernel kernel, std::uint64_t words[8], const std::uint8_t* block,
                         std::uint64_t message_bytes) {
  assert(Blake2bKernelSupported(kernel));
  KernelFunction(kernel)(words, block, 1, message_bytes, ~std::uint64_t{0});
}

}  // namespace quillora

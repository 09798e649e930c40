#include "sha256/sha256.h"

#include <atomic>
#include <cassert>
#include <cstring>

#include "sha256/sha256_shani.h"
#include "sha256/sha256_steps.h"

namespace quillora {
namespace {

inline std::uint32_t LoadBig32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
         static_cast<std::uint32_t>(p[2]) << 8 | p[3];
}

inline void StoreBig32(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v >> 24);
  p[1] = static_cast<std::uint8_t>(v >> 16);
  p[2] = static_cast<std::uint8_t>(v >> 8);
  p[3] = static_cast<std::uint8_t>(v);
}

inline std::uint32_t RotateRight(std::uint32_t x, int n) {
  return (x >> n) | (x << (32 - n));
}

void CompressPortable(std::uint32_t state[8], const std::uint8_t* p, std::size_t blocks) {
  std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
  std::uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
  std::uint32_t w[16];
  for (; blocks != 0; --blocks, p += 64) {
    for (int i = 0; i < 16; ++i) w[i] = LoadBig32(p + 4 * i);
    const std::uint32_t aa = a, bb = b, cc = c, dd = d, ee = e, ff = f, gg = g, hh = h;
#define ADD(x, y) ((x) + (y))
#define BSIG0(x) (RotateRight(x, 2) ^ RotateRight(x, 13) ^ RotateRight(x, 22))
#define BSIG1(x) (RotateRight(x, 6) ^ RotateRight(x, 11) ^ RotateRight(x, 25))
#define SSIG0(x) (RotateRight(x, 7) ^ RotateRight(x, 18) ^ ((x) >> 3))
#define SSIG1(x) (RotateRight(x, 17) ^ RotateRight(x, 19) ^ ((x) >> 10))
#define CH(e, f, g) ((((f) ^ (g)) & (e)) ^ (g))
#define MAJ(a, b, c) (((a) & (b)) | (((a) | (b)) & (c)))
#define KI(i) sha256_detail::kRoundConstants[i]
#define OFF_CHAIN(v)
    QUILLORA_SHA256_ROUNDS
#undef ADD
#undef BSIG0
#undef BSIG1
#undef SSIG0
#undef SSIG1
#undef CH
#undef MAJ
#undef KI
#undef OFF_CHAIN
    a += aa, b += bb, c += cc, d += dd, e += ee, f += ff, g += gg, h += hh;
  }
  state[0] = a, state[1] = b, state[2] = c, state[3] = d;
  state[4] = e, state[5] = f, state[6] = g, state[7] = h;
  // The message words may be secret; do not leave them on the stack.
  volatile std::uint32_t* wipe = w;
  for (int i = 0; i < 16; ++i) wipe[i] = 0;
}

void WipeState(Sha256State& state) {
  volatile std::uint8_t* p = reinterpret_cast<volatile std::uint8_t*>(&state);
  for (std::size_t i = 0; i < sizeof state; ++i) p[i] = 0;
}

Sha256StreamEngine FastestSupported() {
  static const Sha256StreamEngine fastest =
      sha256_detail::CpuRunsShaNi() ? Sha256StreamEngine::kShaNi : Sha256StreamEngine::kPortable;
  return fastest;
}

// -1 while no engine is forced.
std::atomic<int> forced_engine{-1};

}  // namespace

namespace sha256_detail {

void CompressSha256Blocks(std::uint32_t h[8], const std::uint8_t* data, std::size_t blocks) {
  if (blocks == 0) return;
  if (ActiveSha256StreamEngine() == Sha256StreamEngine::kShaNi) return CompressShaNi(h, data, blocks);
  CompressPortable(h, data, blocks);
}

}  // namespace sha256_detail

void StartSha256(Sha256State& state) {
  WipeState(state);
  std::memcpy(state.h, sha256_detail::kStartWords, sizeof state.h);
}

void ResumeSha256(Sha256State& state, const std::uint32_t words[8], std::uint64_t bytes) {
  assert(bytes % 64 == 0);
  WipeState(state);
  std::memcpy(state.h, words, sizeof state.h);
  state.bytes = bytes;
}

void FeedSha256(Sha256State& state, const void* data, std::size_t count) {
  const auto* input = static_cast<const std::uint8_t*>(data);
  const std::size_t waiting = static_cast<std::size_t>(state.bytes % 64);
  state.bytes += count;
  const std::size_t room = 64 - waiting;
  if (count < room) {
    if (count != 0) std::memcpy(state.buffer + waiting, input, count);
    return;
  }
  std::size_t pos = 0;
  if (waiting != 0) {
    std::memcpy(state.buffer + waiting, input, room);
    sha256_detail::CompressSha256Blocks(state.h, state.buffer, 1);
    pos = room;
  }
  const std::size_t whole = (count - pos) / 64;
  sha256_detail::CompressSha256Blocks(state.h, input + pos, whole);
  pos += whole * 64;
  if (pos < count) std::memcpy(state.buffer, input + pos, count - pos);
}

Sha256Bytes FinishSha256(Sha256State& state) {
  std::uint8_t length[8];
  const std::uint64_t bits = state.bytes * 8;
  StoreBig32(length, static_cast<std::uint32_t>(bits >> 32));
  StoreBig32(length + 4, static_cast<std::uint32_t>(bits));

  static constexpr std::uint8_t kPadding[64] = {0x80};
  const std::size_t waiting = static_cast<std::size_t>(state.bytes % 64);
  FeedSha256(state, kPadding, waiting < 56 ? 56 - waiting : 120 - waiting);
  FeedSha256(state, length, 8);

  Sha256Bytes out;
  for (int i = 0; i < 8; ++i) StoreBig32(out.data() + 4 * i, state.h[i]);
  WipeState(state);
  return out;
}

Sha256Bytes Sha256OfBuffer(const void* data, std::size_t length) {
  Sha256State state;
  StartSha256(state);
  FeedSha256(state, data, length);
  return FinishSha256(state);
}

std::string_view Sha256StreamEngineName(Sha256StreamEngine engine) {
  return engine == Sha256StreamEngine::kShaNi ? "sha-ni" : "portable";
}

bool Sha256StreamEngineSupported(Sha256StreamEngine engine) {
  return engine == Sha256StreamEngine::kPortable || sha256_detail::CpuRunsShaNi();
}

Sha256StreamEngine ActiveSha256StreamEngine() {
  const int forced = forced_engine.load(std::memory_order_relaxed);
  return forced < 0 ? FastestSupported() : static_cast<Sha256StreamEngine>(forced);
}

bool ForceSha256StreamEngine(Sha256StreamEngine engine) {
  if (!Sha256StreamEngineSupported(engine)) return false;
  forced_engine = static_cast<int>(engine);
  return true;
}

void ClearForcedSha256StreamEngine() {
  forced_engine = -1;
}

}  // namespace quillora

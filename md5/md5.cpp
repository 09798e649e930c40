#include "md5/md5.h"

#include <cstring>

#include "md5/md5_steps.h"

namespace quillora {
namespace {

inline std::uint32_t LoadLittle32(const std::uint8_t* p) {
  std::uint32_t v;
  std::memcpy(&v, p, 4);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  v = __builtin_bswap32(v);
#endif
  return v;
}

inline void StoreLittle32(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
  p[2] = static_cast<std::uint8_t>(v >> 16);
  p[3] = static_cast<std::uint8_t>(v >> 24);
}

inline std::uint32_t RotateLeft(std::uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

// One step per RFC 1321 round. The message word and the constant are added
// first, so that sum does not wait on the chain through the previous step;
// F uses one operation fewer than the textbook form; G is split into two
// independent adds for the same reason.
#define STEP_F(a, b, c, d, x, s, t)               \
  a += (x) + (t);                                 \
  a += (((c) ^ (d)) & (b)) ^ (d);                 \
  a = RotateLeft(a, s) + (b);
#define STEP_G(a, b, c, d, x, s, t)               \
  a += (x) + (t);                                 \
  a += (~(d)) & (c);                              \
  a += (d) & (b);                                 \
  a = RotateLeft(a, s) + (b);
#define STEP_H(a, b, c, d, x, s, t)               \
  a += (x) + (t);                                 \
  a += (b) ^ (c) ^ (d);                           \
  a = RotateLeft(a, s) + (b);
#define STEP_I(a, b, c, d, x, s, t)               \
  a += (x) + (t);                                 \
  a += (c) ^ ((b) | ~(d));                        \
  a = RotateLeft(a, s) + (b);

// Transforms `blocks` consecutive 64-byte blocks starting at p.
void Transform(DigestState& state, const std::uint8_t* p, std::size_t blocks) {
  std::uint32_t a = state.a, b = state.b, c = state.c, d = state.d;
  std::uint32_t x[16];
  for (; blocks != 0; --blocks, p += 64) {
    for (int i = 0; i < 16; ++i) x[i] = LoadLittle32(p + 4 * i);
    const std::uint32_t aa = a, bb = b, cc = c, dd = d;

#define F(a, b, c, d, k, s, t) STEP_F(a, b, c, d, x[k], s, t)
#define G(a, b, c, d, k, s, t) STEP_G(a, b, c, d, x[k], s, t)
#define H(a, b, c, d, k, s, t) STEP_H(a, b, c, d, x[k], s, t)
#define I(a, b, c, d, k, s, t) STEP_I(a, b, c, d, x[k], s, t)
    QUILLORA_MD5_STEPS
#undef F
#undef G
#undef H
#undef I

    a += aa;
    b += bb;
    c += cc;
    d += dd;
  }
  state.a = a;
  state.b = b;
  state.c = c;
  state.d = d;
  // The message words may be secret; do not leave them on the stack.
  volatile std::uint32_t* wipe = x;
  for (int i = 0; i < 16; ++i) wipe[i] = 0;
}

#undef STEP_F
#undef STEP_G
#undef STEP_H
#undef STEP_I

void WipeState(DigestState& state) {
  volatile std::uint8_t* p = reinterpret_cast<volatile std::uint8_t*>(&state);
  for (std::size_t i = 0; i < sizeof state; ++i) p[i] = 0;
}

}  // namespace

void StartDigest(DigestState& state) {
  WipeState(state);
  state.a = md5_detail::kStartWords[0];
  state.b = md5_detail::kStartWords[1];
  state.c = md5_detail::kStartWords[2];
  state.d = md5_detail::kStartWords[3];
}

void ResumeDigest(DigestState& state, const std::uint32_t words[4], std::uint64_t bytes) {
  WipeState(state);
  state.a = words[0];
  state.b = words[1];
  state.c = words[2];
  state.d = words[3];
  const std::uint64_t bits = bytes * 8;
  state.count[0] = static_cast<std::uint32_t>(bits);
  state.count[1] = static_cast<std::uint32_t>(bits >> 32);
}

void FeedDigest(DigestState& state, const void* data, std::size_t count) {
  const auto* input = static_cast<const std::uint8_t*>(data);
  const std::size_t waiting = (state.count[0] >> 3) & 63;

  // The bit count is 64 bits wide; count may exceed 32 bits on its own.
  const std::uint32_t low_add = static_cast<std::uint32_t>(count << 3);
  state.count[0] += low_add;
  if (state.count[0] < low_add) ++state.count[1];
  state.count[1] += static_cast<std::uint32_t>(static_cast<std::uint64_t>(count) >> 29);

  const std::size_t room = 64 - waiting;
  if (count < room) {
    if (count != 0) std::memcpy(state.buffer + waiting, input, count);
    return;
  }
  std::size_t pos = 0;
  if (waiting != 0) {
    std::memcpy(state.buffer + waiting, input, room);
    Transform(state, state.buffer, 1);
    pos = room;
  }
  const std::size_t whole = (count - pos) / 64;
  Transform(state, input + pos, whole);
  pos += whole * 64;
  if (pos < count) std::memcpy(state.buffer, input + pos, count - pos);
}

DigestBytes FinishDigest(DigestState& state) {
  std::uint8_t length[8];
  StoreLittle32(length, state.count[0]);
  StoreLittle32(length + 4, state.count[1]);

  static constexpr std::uint8_t kPadding[64] = {0x80};
  const std::size_t waiting = (state.count[0] >> 3) & 63;
  FeedDigest(state, kPadding, waiting < 56 ? 56 - waiting : 120 - waiting);
  FeedDigest(state, length, 8);

  DigestBytes out;
  StoreLittle32(out.data(), state.a);
  StoreLittle32(out.data() + 4, state.b);
  StoreLittle32(out.data() + 8, state.c);
  StoreLittle32(out.data() + 12, state.d);
  WipeState(state);
  return out;
}

DigestBytes DigestOfBuffer(const void* data, std::size_t length) {
  DigestState state;
  StartDigest(state);
  FeedDigest(state, data, length);
  return FinishDigest(state);
}

DigestBytes DigestOfText(std::string_view text) { return DigestOfBuffer(text.data(), text.size()); }

namespace {

std::string HexOf(const DigestBytes& digest, const char (&digits)[17]) {
  std::string text(2 * digest.size(), '\0');
  for (std::size_t i = 0; i < digest.size(); ++i) {
    text[2 * i] = digits[digest[i] >> 4];
    text[2 * i + 1] = digits[digest[i] & 15];
  }
  return text;
}

char LowerAsciiChar(char ch) { return ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch - 'A' + 'a') : ch; }

}  // namespace

std::string DigestToHex(const DigestBytes& digest) { return HexOf(digest, "0123456789ABCDEF"); }

std::string DigestToLowerHex(const DigestBytes& digest) { return HexOf(digest, "0123456789abcdef"); }

std::string LowerAscii(std::string text) {
  for (char& ch : text) ch = LowerAsciiChar(ch);
  return text;
}

bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  // No early exit: the loop runs on whole vectors of bytes.
  bool differ = false;
  for (std::size_t i = 0; i < a.size(); ++i) differ |= LowerAsciiChar(a[i]) != LowerAsciiChar(b[i]);
  return !differ;
}

}  // namespace quillora

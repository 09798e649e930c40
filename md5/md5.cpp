#include "md5/md5.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <stop_token>
#include <thread>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/errors.h"

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

    STEP_F(a, b, c, d, x[0], 7, 0xd76aa478)
    STEP_F(d, a, b, c, x[1], 12, 0xe8c7b756)
    STEP_F(c, d, a, b, x[2], 17, 0x242070db)
    STEP_F(b, c, d, a, x[3], 22, 0xc1bdceee)
    STEP_F(a, b, c, d, x[4], 7, 0xf57c0faf)
    STEP_F(d, a, b, c, x[5], 12, 0x4787c62a)
    STEP_F(c, d, a, b, x[6], 17, 0xa8304613)
    STEP_F(b, c, d, a, x[7], 22, 0xfd469501)
    STEP_F(a, b, c, d, x[8], 7, 0x698098d8)
    STEP_F(d, a, b, c, x[9], 12, 0x8b44f7af)
    STEP_F(c, d, a, b, x[10], 17, 0xffff5bb1)
    STEP_F(b, c, d, a, x[11], 22, 0x895cd7be)
    STEP_F(a, b, c, d, x[12], 7, 0x6b901122)
    STEP_F(d, a, b, c, x[13], 12, 0xfd987193)
    STEP_F(c, d, a, b, x[14], 17, 0xa679438e)
    STEP_F(b, c, d, a, x[15], 22, 0x49b40821)

    STEP_G(a, b, c, d, x[1], 5, 0xf61e2562)
    STEP_G(d, a, b, c, x[6], 9, 0xc040b340)
    STEP_G(c, d, a, b, x[11], 14, 0x265e5a51)
    STEP_G(b, c, d, a, x[0], 20, 0xe9b6c7aa)
    STEP_G(a, b, c, d, x[5], 5, 0xd62f105d)
    STEP_G(d, a, b, c, x[10], 9, 0x02441453)
    STEP_G(c, d, a, b, x[15], 14, 0xd8a1e681)
    STEP_G(b, c, d, a, x[4], 20, 0xe7d3fbc8)
    STEP_G(a, b, c, d, x[9], 5, 0x21e1cde6)
    STEP_G(d, a, b, c, x[14], 9, 0xc33707d6)
    STEP_G(c, d, a, b, x[3], 14, 0xf4d50d87)
    STEP_G(b, c, d, a, x[8], 20, 0x455a14ed)
    STEP_G(a, b, c, d, x[13], 5, 0xa9e3e905)
    STEP_G(d, a, b, c, x[2], 9, 0xfcefa3f8)
    STEP_G(c, d, a, b, x[7], 14, 0x676f02d9)
    STEP_G(b, c, d, a, x[12], 20, 0x8d2a4c8a)

    STEP_H(a, b, c, d, x[5], 4, 0xfffa3942)
    STEP_H(d, a, b, c, x[8], 11, 0x8771f681)
    STEP_H(c, d, a, b, x[11], 16, 0x6d9d6122)
    STEP_H(b, c, d, a, x[14], 23, 0xfde5380c)
    STEP_H(a, b, c, d, x[1], 4, 0xa4beea44)
    STEP_H(d, a, b, c, x[4], 11, 0x4bdecfa9)
    STEP_H(c, d, a, b, x[7], 16, 0xf6bb4b60)
    STEP_H(b, c, d, a, x[10], 23, 0xbebfbc70)
    STEP_H(a, b, c, d, x[13], 4, 0x289b7ec6)
    STEP_H(d, a, b, c, x[0], 11, 0xeaa127fa)
    STEP_H(c, d, a, b, x[3], 16, 0xd4ef3085)
    STEP_H(b, c, d, a, x[6], 23, 0x04881d05)
    STEP_H(a, b, c, d, x[9], 4, 0xd9d4d039)
    STEP_H(d, a, b, c, x[12], 11, 0xe6db99e5)
    STEP_H(c, d, a, b, x[15], 16, 0x1fa27cf8)
    STEP_H(b, c, d, a, x[2], 23, 0xc4ac5665)

    STEP_I(a, b, c, d, x[0], 6, 0xf4292244)
    STEP_I(d, a, b, c, x[7], 10, 0x432aff97)
    STEP_I(c, d, a, b, x[14], 15, 0xab9423a7)
    STEP_I(b, c, d, a, x[5], 21, 0xfc93a039)
    STEP_I(a, b, c, d, x[12], 6, 0x655b59c3)
    STEP_I(d, a, b, c, x[3], 10, 0x8f0ccc92)
    STEP_I(c, d, a, b, x[10], 15, 0xffeff47d)
    STEP_I(b, c, d, a, x[1], 21, 0x85845dd1)
    STEP_I(a, b, c, d, x[8], 6, 0x6fa87e4f)
    STEP_I(d, a, b, c, x[15], 10, 0xfe2ce6e0)
    STEP_I(c, d, a, b, x[6], 15, 0xa3014314)
    STEP_I(b, c, d, a, x[13], 21, 0x4e0811a1)
    STEP_I(a, b, c, d, x[4], 6, 0xf7537e82)
    STEP_I(d, a, b, c, x[11], 10, 0xbd3af235)
    STEP_I(c, d, a, b, x[2], 15, 0x2ad7d2bb)
    STEP_I(b, c, d, a, x[9], 21, 0xeb86d391)

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

// Files are read in larger blocks than generic streams: 4096-byte reads cost a
// few percent of the hashing time on their own. 64 KiB measured best of
// 4 KiB to 1 MiB on a 1 GiB cached file, and still fits the L2 cache.
constexpr std::size_t kFileBlock = 64 * 1024;
constexpr std::size_t kStreamBlock = 4096;

constexpr std::size_t kOverlapBlock = 1 << 20;

using FeedFn = std::function<void(const std::uint8_t*, std::size_t)>;

// The error number of a failed read; a stream that gives none still failed.
int ReadError(const Stream& file) {
  const int number = file.last_error();
  return number != 0 ? number : EIO;
}

// The read loop of the stream digest with a larger block: stop at a read of
// 0 bytes or when the total meets the size taken at the start. Reads never
// ask past that size, so bytes appended meanwhile are left out. Returns 0, or
// the system error of a failed read.
std::size_t NextReadSize(std::int64_t size, std::int64_t total, std::size_t block) {
  return total < size ? static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(block), size - total))
                      : block;
}

int ReadInTurn(Stream& file, std::int64_t size, std::int64_t total, const FeedFn& feed) {
  // One block per thread for all its files: no allocation per file.
  thread_local std::unique_ptr<std::uint8_t[]> block(new std::uint8_t[kFileBlock]);
  do {
    const std::int64_t got = file.Read(block.get(), NextReadSize(size, total, kFileBlock));
    if (got == 0) break;
    if (got < 0) return ReadError(file);
    feed(block.get(), static_cast<std::size_t>(got));
    total += got;
  } while (total != size);
  return 0;
}

// The same loop for a large file, with the reading on a thread of its own so
// the next block is read while this one is hashed.
int ReadOverlapped(Stream& file, std::int64_t size, std::int64_t from, const FeedFn& feed) {
  struct Buffer {
    std::unique_ptr<std::uint8_t[]> bytes{new std::uint8_t[kOverlapBlock]};
    std::int64_t got = 0;
    bool full = false;
  };
  Buffer buffers[2];
  std::mutex mutex;
  std::condition_variable_any changed;
  int error = 0;
  std::jthread reader([&](std::stop_token stop) {
    std::int64_t total = from;
    for (int i = 0;; i ^= 1) {
      Buffer& buffer = buffers[i];
      {
        std::unique_lock lock(mutex);
        if (!changed.wait(lock, stop, [&] { return !buffer.full; })) return;
      }
      const std::int64_t got = file.Read(buffer.bytes.get(), NextReadSize(size, total, kOverlapBlock));
      const bool last = got <= 0 || total + got == size;
      {
        std::lock_guard lock(mutex);
        buffer.got = got;
        buffer.full = true;
        if (got < 0) error = ReadError(file);
      }
      changed.notify_all();
      if (last) {
        if (got > 0) {  // mark the end for the hasher with an empty block
          Buffer& end = buffers[i ^ 1];
          std::unique_lock lock(mutex);
          if (!changed.wait(lock, stop, [&] { return !end.full; })) return;
          end.got = 0;
          end.full = true;
          lock.unlock();
          changed.notify_all();
        }
        return;
      }
      total += got;
    }
  });
  for (int i = 0;; i ^= 1) {
    Buffer& buffer = buffers[i];
    {
      std::unique_lock lock(mutex);
      changed.wait(lock, [&] { return buffer.full; });
      if (buffer.got <= 0) return buffer.got < 0 ? error : 0;
    }
    feed(buffer.bytes.get(), static_cast<std::size_t>(buffer.got));
    {
      std::lock_guard lock(mutex);
      buffer.full = false;
    }
    changed.notify_all();
  }
}

[[noreturn]] void ThrowFileError(const std::string& path, int number) {
  throw SystemError::WithText(number, "Cannot open file \"" + AbsolutePath(path) + "\". " + SystemErrorMessage(number));
}

}  // namespace

void StartDigest(DigestState& state) {
  WipeState(state);
  state.a = 0x67452301;
  state.b = 0xefcdab89;
  state.c = 0x98badcfe;
  state.d = 0x10325476;
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

DigestBytes DigestOfStream(Stream& stream) {
  DigestState state;
  StartDigest(state);
  const std::int64_t size = stream.Size();
  const std::int64_t position = stream.Position();
  std::uint8_t block[kStreamBlock];
  if (stream.Seek(0)) {
    std::int64_t total = 0;
    for (;;) {
      const std::int64_t got = stream.Read(block, sizeof block);
      if (got <= 0) break;  // the end, or a failure taken as the end
      FeedDigest(state, block, static_cast<std::size_t>(got));
      total += got;
      if (total == size) break;
    }
  }
  stream.Seek(position);
  return FinishDigest(state);
}

DigestBytes DigestOfFile(const std::string& path, Env& env) {
  std::unique_ptr<Stream> file;
  try {
    file = env.OpenForDigest(path);
  } catch (const SystemError& e) {
    ThrowFileError(path, e.number());
  }
  DigestState state;
  StartDigest(state);
  const int error = FeedRestOfFile(state, *file, file->Size(), 0);
  if (error != 0) {
    WipeState(state);
    ThrowFileError(path, error);
  }
  return FinishDigest(state);
}

int FeedRestOfFile(DigestState& state, Stream& file, std::int64_t size, std::int64_t total) {
  const auto feed = [&state](const std::uint8_t* bytes, std::size_t n) { FeedDigest(state, bytes, n); };
  return size - total >= kOverlapFrom ? ReadOverlapped(file, size, total, feed) : ReadInTurn(file, size, total, feed);
}

std::string DigestToHex(const DigestBytes& digest) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(32);
  for (std::uint8_t byte : digest) {
    text += kDigits[byte >> 4];
    text += kDigits[byte & 15];
  }
  return text;
}

std::string FileDigestText(const std::string& path, Env& env) { return DigestToHex(DigestOfFile(path, env)); }

std::string LowerAscii(std::string text) {
  for (char& ch : text) {
    if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
  }
  return text;
}

}  // namespace quillora

// The BLAKE2b engine alone on one kernel, the peer of b2sum and libgcrypt
// (gcrypt_sum.c): digests each file named, one after another on one thread,
// reading 256 KiB at a time, and prints "HEX  PATH" as b2sum does.
//   blake2b_sum portable|avx2|chosen [-l BITS] FILE...
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "blake2b/blake2b.h"

int main(int argc, char** argv) {
  using quillora::Blake2bKernel;
  if (argc < 3) {
    std::fprintf(stderr, "usage: blake2b_sum portable|avx2|chosen [-l BITS] FILE...\n");
    return 2;
  }
  const std::string_view kernel = argv[1];
  if (kernel != "chosen" &&
      !quillora::ForceBlake2bKernel(kernel == "avx2" ? Blake2bKernel::kAvx2 : Blake2bKernel::kPortable)) {
    std::fprintf(stderr, "blake2b_sum: no %s kernel here\n", argv[1]);
    return 2;
  }
  int first = 2;
  std::size_t out_bytes = quillora::kBlake2bMaxBytes;
  if (std::strcmp(argv[first], "-l") == 0 && first + 1 < argc) {
    out_bytes = static_cast<std::size_t>(std::atoi(argv[first + 1])) / 8;
    first += 2;
  }
  // Page-aligned, as a static buffer is: on some machines the system copies
  // into a heap block's odd offset several times slower.
  alignas(4096) static unsigned char buffer[256 << 10];
  int status = 0;
  for (int i = first; i < argc; ++i) {
    const int fd = ::open(argv[i], O_RDONLY);
    if (fd < 0) {
      std::perror(argv[i]);
      status = 1;
      continue;
    }
    quillora::Blake2bState state;
    quillora::StartBlake2b(state, out_bytes);
    ssize_t got;
    while ((got = ::read(fd, buffer, sizeof buffer)) > 0)
      quillora::FeedBlake2b(state, buffer, static_cast<std::size_t>(got));
    ::close(fd);
    const quillora::Blake2bDigest digest = quillora::FinishBlake2b(state);
    if (got < 0) {
      std::perror(argv[i]);
      status = 1;
      continue;
    }
    for (const unsigned char byte : digest.view()) std::printf("%02x", byte);
    std::printf("  %s\n", argv[i]);
  }
  return status;
}

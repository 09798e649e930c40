// libgcrypt's own speed, the peer of the other digests' figures: digests each
// file named, one after another on one thread, reading 256 KiB at a time, and
// prints "HEX  PATH" as sha256sum does.
//   gcrypt_sum sha1|sha256|sha512|blake2b|crc32 FILE...
#include <fcntl.h>
#include <gcrypt.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

static int algorithm_named(const char* name) {
  if (strcmp(name, "sha1") == 0) return GCRY_MD_SHA1;
  if (strcmp(name, "sha256") == 0) return GCRY_MD_SHA256;
  if (strcmp(name, "sha512") == 0) return GCRY_MD_SHA512;
  if (strcmp(name, "blake2b") == 0) return GCRY_MD_BLAKE2B_512;
  if (strcmp(name, "crc32") == 0) return GCRY_MD_CRC32;
  return 0;
}

int main(int argc, char** argv) {
  const int algorithm = argc > 1 ? algorithm_named(argv[1]) : 0;
  if (algorithm == 0) {
    fprintf(stderr, "usage: gcrypt_sum sha1|sha256|sha512|blake2b|crc32 FILE...\n");
    return 2;
  }
  if (!gcry_check_version(GCRYPT_VERSION)) return 2;
  gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
  static unsigned char buffer[256 << 10];
  const unsigned length = gcry_md_get_algo_dlen(algorithm);
  gcry_md_hd_t digest;
  if (gcry_md_open(&digest, algorithm, 0) != 0) return 2;
  int status = 0;
  for (int i = 2; i < argc; ++i) {
    const int fd = open(argv[i], O_RDONLY);
    if (fd < 0) {
      perror(argv[i]);
      status = 1;
      continue;
    }
    gcry_md_reset(digest);
    ssize_t got;
    while ((got = read(fd, buffer, sizeof buffer)) > 0) gcry_md_write(digest, buffer, (size_t)got);
    close(fd);
    if (got < 0) {
      perror(argv[i]);
      status = 1;
      continue;
    }
    const unsigned char* value = gcry_md_read(digest, algorithm);
    for (unsigned k = 0; k < length; ++k) printf("%02x", value[k]);
    printf("  %s\n", argv[i]);
  }
  gcry_md_close(digest);
  return status;
}

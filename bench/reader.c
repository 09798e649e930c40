// The floor a digest job cannot beat on I/O: walks a tree, then opens, reads
// and closes every regular file on THREADS threads, hashing nothing.
//   reader THREADS ROOT     prints the files and bytes read
// With THREADS above the core count it keeps that many reads in flight,
// which is what a disk that is not cached rewards.
#define _GNU_SOURCE
#include <fcntl.h>
#include <ftw.h>
#include <pthread.h>
#include <stdatomic.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

static char** paths;
static size_t count, capacity;
static atomic_size_t next_file;
static atomic_ullong bytes_read;

static int collect(const char* path, const struct stat* st, int type, struct FTW* ftw) {
  (void)st, (void)ftw;
  if (type != FTW_F) return 0;
  if (count == capacity) {
    capacity = capacity ? capacity * 2 : 4096;
    paths = realloc(paths, capacity * sizeof *paths);
    if (!paths) abort();
  }
  paths[count++] = strdup(path);
  return 0;
}

static void* read_files(void* unused) {
  (void)unused;
  enum { kBlock = 1 << 16 };
  char* block = malloc(kBlock);
  unsigned long long mine = 0;
  for (size_t i; (i = atomic_fetch_add(&next_file, 1)) < count;) {
    const int fd = open(paths[i], O_RDONLY | O_CLOEXEC);
    if (fd < 0) continue;
    for (ssize_t got; (got = read(fd, block, kBlock)) > 0;) mine += (unsigned long long)got;
    close(fd);
  }
  atomic_fetch_add(&bytes_read, mine);
  free(block);
  return NULL;
}

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: reader THREADS ROOT\n");
    return 2;
  }
  const int threads = atoi(argv[1]);
  if (threads < 1 || nftw(argv[2], collect, 64, FTW_PHYS) != 0) return 2;
  pthread_t* ids = calloc((size_t)threads, sizeof *ids);
  for (int t = 0; t < threads; ++t) pthread_create(&ids[t], NULL, read_files, NULL);
  for (int t = 0; t < threads; ++t) pthread_join(ids[t], NULL);
  printf("%zu files, %llu bytes\n", count, (unsigned long long)bytes_read);
  return 0;
}

/* A preloaded library (LD_PRELOAD, Linux only) that makes chosen calls of the
 * real program fail with a chosen errno, where the system will not fail them
 * on demand: a listing that breaks half way, an open that finds the
 * descriptors used up, an fstatat with a disk error. It lets the command
 * line's own tests (cli/cli_faults_test.cpp) run the real binary against such
 * faults; the fault Env does the same for the jobs, without a process.
 *
 * Each fault is one environment variable; the path comes last so it may hold
 * any character. A path "matches" PATTERN when it is PATTERN or ends with
 * "/PATTERN"; ERRNO is a number.
 *
 *   SHIM_READDIR=ERRNO:N:PATTERN    readdir of a folder whose path matches
 *                                   returns NULL with ERRNO after N entries
 *                                   ("." and ".." count), and from then on.
 *   SHIM_OPEN=ERRNO:K:PATTERN       open/openat of a matching path fails on
 *                                   the K-th matching call only (K = 0: every
 *                                   call). A name relative to a folder's
 *                                   descriptor is matched as its whole path.
 *   SHIM_FDOPENDIR=ERRNO:PATTERN    fdopendir of a matching folder fails.
 *   SHIM_FSTATAT=ERRNO:PATTERN      fstatat of a matching name fails.
 *   SHIM_THREAD=ERRNO:K             the K-th pthread_create of the run
 *                                   fails (EAGAIN: no thread to be had).
 *   SHIM_READ_ENDS=N:PATTERN        reads of a matching file end (0 bytes)
 *                                   from byte N on, however large it is, as
 *                                   a file system that gives up part way.
 *   SHIM_LOG=FILE                   each fault that fires appends a line
 *                                   "CALL PATH" there, so a test can tell
 *                                   that its fault was met at all.
 *
 * The folder of a descriptor is found through /proc/self/fd. The 64 and
 * fortified variants glibc may route a call through are covered too. */
#define _GNU_SOURCE
#include <dirent.h>
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <stdarg.h>
#include <stdatomic.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

struct fault {
  int set, error;
  long number; /* N entries, or the K-th call */
  const char* pattern;
};

static struct fault readdir_fault, open_fault, fdopendir_fault, fstatat_fault, read_end;
static atomic_long open_calls, thread_calls;
static long thread_fails_at;
static int thread_error;

static void read_fault(const char* variable, int with_number, struct fault* fault) {
  const char* text = getenv(variable);
  char* end;
  if (text == NULL) return;
  fault->error = (int)strtol(text, &end, 10);
  if (with_number) fault->number = strtol(end + 1, &end, 10);
  if (*end != ':') return;
  fault->pattern = end + 1;
  fault->set = 1;
}

static int (*real_open)(const char*, int, ...);
static int (*real_openat)(int, const char*, int, ...);
static struct dirent* (*real_readdir)(DIR*);
static struct dirent64* (*real_readdir64)(DIR*);
static int (*real_closedir)(DIR*);
static DIR* (*real_fdopendir)(int);
static int (*real_fstatat)(int, const char*, struct stat*, int);
static ssize_t (*real_read)(int, void*, size_t);
static int (*real_pthread_create)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);

__attribute__((constructor)) static void start(void) {
  /* POSIX's way to take a function's address from dlsym. */
#define NEXT(name) (*(void**)&real_##name = dlsym(RTLD_NEXT, #name))
  NEXT(open);
  NEXT(openat);
  NEXT(readdir);
  NEXT(readdir64);
  NEXT(closedir);
  NEXT(fdopendir);
  NEXT(fstatat);
  NEXT(read);
  NEXT(pthread_create);
  read_fault("SHIM_READDIR", 1, &readdir_fault);
  read_fault("SHIM_READ_ENDS", 0, &read_end);
  const char* thread = getenv("SHIM_THREAD");
  if (thread != NULL) {
    char* end;
    thread_error = (int)strtol(thread, &end, 10);
    if (*end == ':') thread_fails_at = strtol(end + 1, NULL, 10);
  }
  read_fault("SHIM_OPEN", 1, &open_fault);
  read_fault("SHIM_FDOPENDIR", 0, &fdopendir_fault);
  read_fault("SHIM_FSTATAT", 0, &fstatat_fault);
}

static int matches(const char* path, const char* pattern) {
  const size_t length = strlen(path), tail = strlen(pattern);
  if (length < tail || strcmp(path + length - tail, pattern) != 0) return 0;
  return length == tail || path[length - tail - 1] == '/';
}

/* The path of the folder open as fd joined with name ("" for the folder). */
static void path_at(int fd, const char* name, char* path, size_t size) {
  char link[64];
  snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  const ssize_t n = readlink(link, path, size - 1);
  path[n < 0 ? 0 : n] = '\0';
  if (*name != '\0') snprintf(path + strlen(path), size - strlen(path), "/%s", name);
}

/* Returns -1 with errno set, after logging the fault. */
static int fire(const char* call, const char* path, int error) {
  const char* log = getenv("SHIM_LOG");
  if (log != NULL) {
    const int fd = real_open(log, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd >= 0) {
      dprintf(fd, "%s %s\n", call, path);
      close(fd);
    }
  }
  errno = error;
  return -1;
}

/* Whether an open of path, relative to folder, is to fail now. */
static int open_fails(int folder, const char* path) {
  char whole[4096];
  if (!open_fault.set) return 0;
  if (path[0] != '/' && folder != AT_FDCWD) {
    path_at(folder, path, whole, sizeof whole);
    path = whole;
  }
  if (!matches(path, open_fault.pattern)) return 0;
  const long call = atomic_fetch_add(&open_calls, 1) + 1;
  return (open_fault.number == 0 || call == open_fault.number) && fire("open", path, open_fault.error) < 0;
}

static mode_t mode_of(int flags, va_list args) {
  return (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE ? va_arg(args, mode_t) : 0;
}

int open(const char* path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  const mode_t mode = mode_of(flags, args);
  va_end(args);
  return open_fails(AT_FDCWD, path) ? -1 : real_open(path, flags, mode);
}

int openat(int folder, const char* path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  const mode_t mode = mode_of(flags, args);
  va_end(args);
  return open_fails(folder, path) ? -1 : real_openat(folder, path, flags, mode);
}

int open64(const char* path, int flags, ...) __attribute__((alias("open")));
int openat64(int folder, const char* path, int flags, ...) __attribute__((alias("openat")));
int __open_2(const char* path, int flags) { return open(path, flags); }
int __open64_2(const char* path, int flags) { return open(path, flags); }
int __openat_2(int folder, const char* path, int flags) { return openat(folder, path, flags); }
int __openat64_2(int folder, const char* path, int flags) { return openat(folder, path, flags); }

/* The listings of matching folders being read, and how far. A listing is
 * looked at once, at its first readdir, and forgotten at closedir, since a
 * DIR's address is handed out again. */
enum { kListings = 256 };
static struct {
  DIR* dir;
  int matching;
  long entries;
} listings[kListings];
static pthread_mutex_t listings_mutex = PTHREAD_MUTEX_INITIALIZER;

/* Whether this readdir of dir is to fail. */
static int readdir_fails(DIR* dir) {
  if (!readdir_fault.set) return 0;
  int fails = 0, free_slot = -1, i;
  pthread_mutex_lock(&listings_mutex);
  for (i = 0; i < kListings && listings[i].dir != dir; ++i)
    if (listings[i].dir == NULL && free_slot < 0) free_slot = i;
  if (i == kListings && free_slot >= 0) {
    char path[4096];
    path_at(dirfd(dir), "", path, sizeof path);
    i = free_slot;
    listings[i].dir = dir;
    listings[i].matching = matches(path, readdir_fault.pattern);
    listings[i].entries = 0;
  }
  if (i < kListings && listings[i].matching) {
    fails = listings[i].entries++ >= readdir_fault.number;
    if (fails && listings[i].entries == readdir_fault.number + 1) {
      char path[4096];
      path_at(dirfd(dir), "", path, sizeof path);
      fire("readdir", path, readdir_fault.error);
    }
  }
  pthread_mutex_unlock(&listings_mutex);
  if (fails) errno = readdir_fault.error;
  return fails;
}

struct dirent* readdir(DIR* dir) { return readdir_fails(dir) ? NULL : real_readdir(dir); }
struct dirent64* readdir64(DIR* dir) { return readdir_fails(dir) ? NULL : real_readdir64(dir); }

int closedir(DIR* dir) {
  pthread_mutex_lock(&listings_mutex);
  for (int i = 0; i < kListings; ++i)
    if (listings[i].dir == dir) listings[i].dir = NULL;
  pthread_mutex_unlock(&listings_mutex);
  return real_closedir(dir);
}

DIR* fdopendir(int fd) {
  if (fdopendir_fault.set) {
    char path[4096];
    path_at(fd, "", path, sizeof path);
    if (matches(path, fdopendir_fault.pattern)) return fire("fdopendir", path, fdopendir_fault.error), NULL;
  }
  return real_fdopendir(fd);
}

int fstatat(int folder, const char* name, struct stat* st, int flags) {
  if (fstatat_fault.set && matches(name, fstatat_fault.pattern)) return fire("fstatat", name, fstatat_fault.error);
  return real_fstatat(folder, name, st, flags);
}

int fstatat64(int folder, const char* name, struct stat64* st, int flags) {
  return fstatat(folder, name, (struct stat*)st, flags);
}

int pthread_create(pthread_t* thread, const pthread_attr_t* attr, void* (*start)(void*), void* arg) {
  if (thread_fails_at > 0 && atomic_fetch_add(&thread_calls, 1) + 1 == thread_fails_at) {
    fire("pthread_create", "", thread_error);
    return thread_error;
  }
  return real_pthread_create(thread, attr, start, arg);
}

/* read_end's number is the byte the reads end at (read_fault took it as the
 * error number). */
ssize_t read(int fd, void* buffer, size_t count) {
  if (read_end.set) {
    char path[4096];
    path_at(fd, "", path, sizeof path);
    if (matches(path, read_end.pattern)) {
      const off_t at = lseek(fd, 0, SEEK_CUR);
      const off_t end = read_end.error;
      if (at >= end) {
        fire("read", path, 0);
        return 0;
      }
      if (at >= 0 && (off_t)count > end - at) count = (size_t)(end - at);
    }
  }
  return real_read(fd, buffer, count);
}

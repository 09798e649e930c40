// For tests that need what only POSIX has: FIFOs, symbolic links, file modes
// that bind an unprivileged user. On Windows such a test skips with its
// reason, and the calls it would have made still compile (they fail, unused).
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#ifdef _WIN32
#include <io.h>  // chmod

inline int mkfifo(const char*, int) { return errno = ENOSYS, -1; }
inline int symlink(const char*, const char*) { return errno = ENOSYS, -1; }
inline unsigned geteuid() { return 1; }  // no root to step down from

#define SKIP_WITHOUT_POSIX(what) GTEST_SKIP() << "POSIX only: " what
#else
#define SKIP_WITHOUT_POSIX(what) static_cast<void>(0)
#endif

namespace quillora::testing {
// For a case of a table that only POSIX can make.
#ifdef _WIN32
inline constexpr bool kPosix = false;
#else
inline constexpr bool kPosix = true;
#endif
}  // namespace quillora::testing

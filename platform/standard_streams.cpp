#include "platform/standard_streams.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#endif
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace quillora {

bool OpenClosedStandardStreams() {
#ifndef _WIN32
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // The lowest free number is fd itself: the ones below it are open.
    const int opened = ::open("/dev/null", O_WRONLY);
    if (opened != fd) {
      if (opened >= 0) ::close(opened);
      return false;
    }
  }
#endif
  return true;
}

void FitHeapToAddressLimit() {
#ifdef __GLIBC__
  rlimit limit{};
  if (::getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) ::mallopt(M_ARENA_MAX, 1);
#endif
}

}  // namespace quillora

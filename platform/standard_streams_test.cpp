#include "platform/standard_streams.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include <gtest/gtest.h>

namespace quillora {
namespace {

// In a child with the given standard descriptors closed: 0 when afterwards a
// new file takes a number above 2, writes to 1 and 2 succeed and a read of 0
// fails as on a closed descriptor; else the number of the check that failed.
int ChildWithClosed(std::initializer_list<int> closed) {
  const pid_t child = ::fork();
  if (child == 0) {
    for (const int fd : closed) ::close(fd);
    if (!OpenClosedStandardStreams()) ::_exit(1);
    const int next = ::open("/dev/null", O_RDONLY);
    if (next <= 2) ::_exit(2);
    for (const int fd : closed) {
      char byte = 'x';
      if (fd != 0 && ::write(fd, &byte, 1) != 1) ::_exit(3);
      if (fd == 0 && (::read(fd, &byte, 1) != -1 || errno != EBADF)) ::_exit(4);
    }
    ::_exit(0);
  }
  int status = -1;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(StandardStreamsTest, ClosedOnesAreTakenByTheNullDevice) {
  const std::initializer_list<int> cases[] = {{}, {0}, {1}, {2}, {0, 2}, {0, 1, 2}};
  for (const auto& closed : cases) EXPECT_EQ(ChildWithClosed(closed), 0) << closed.size() << " closed";
}

}  // namespace
}  // namespace quillora

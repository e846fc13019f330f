#include "QtTestSupport.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdio>

namespace qttest {

int HoldLockMain(const char* path) {
  const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    std::printf("failed\n");
    return 1;
  }
  std::printf("locked\n");
  std::fflush(stdout);
  // Until the test closes our input.
  char buffer[64];
  while (::read(STDIN_FILENO, buffer, sizeof buffer) > 0) {
  }
  ::close(fd);
  return 0;
}

}  // namespace qttest

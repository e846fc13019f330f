// What the benchmarks share: the plain sequential read each one measures
// itself against, and a clock.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

inline double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

// Keeps the plain reads from being optimised away.
inline volatile unsigned char readSink;

// Reads the whole file in 1 MiB reads; returns the bytes read (0 when the
// file cannot be opened).
inline uint64_t ReadSequentially(const char* path) {
  int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  std::vector<char> buffer(1 << 20);
  uint64_t total = 0;
  unsigned char sum = 0;
  for (;;) {
    ssize_t n = ::read(fd, buffer.data(), buffer.size());
    if (n <= 0) break;
    total += static_cast<uint64_t>(n);
    sum = static_cast<unsigned char>(sum + buffer[static_cast<size_t>(n) - 1]);
  }
  ::close(fd);
  readSink = sum;
  return total;
}

}  // namespace bench

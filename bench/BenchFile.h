// What the benchmarks share: a clock, the plain sequential read each one
// measures itself against, and the analysed file they work on.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "engine/Analysis.h"

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

// The file a benchmark measures: its size, the time of a sequential read of
// it with the file in the page cache, and its catalogue.
struct BenchFile {
  double mb = 0;
  double readSeconds = 0;
  double analysisSeconds = 0;
  mendora::DataFile file;
  mendora::Catalogue catalogue;
};

// Reads `path` once unmeasured (into the page cache), once measured, then
// opens and analyses it. False, with a message on standard error, when it
// cannot be read or is no data file of a supported version.
inline bool LoadBenchFile(const char* path, BenchFile& bench) {
  const uint64_t size = ReadSequentially(path);
  if (size == 0) {
    std::perror(path);
    return false;
  }
  bench.mb = size / 1e6;
  auto start = Clock::now();
  ReadSequentially(path);
  bench.readSeconds = Seconds(start);
  if (!bench.file.Open(path) || !bench.file.DetectVersion()) {
    std::fprintf(stderr, "%s: not a data file of version 539, 611 or 655\n", path);
    return false;
  }
  mendora::NullJobControl job;
  start = Clock::now();
  mendora::RunAnalysis(bench.file, bench.catalogue, job);
  bench.analysisSeconds = Seconds(start);
  return true;
}

}  // namespace bench

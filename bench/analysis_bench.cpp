// Measures the analysis of one data file against a plain sequential read of
// the same file, and the process's peak memory.
//
//   analysis_bench FILE.mdf
//
// A first, unmeasured read brings the file into the page cache, so that both
// measurements read it from memory and compare the analysis's own cost with
// the cost of only reading the bytes.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <vector>

#include "bench/BenchFile.h"
#include "engine/Analysis.h"

using namespace mendora;

namespace {}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: analysis_bench FILE.mdf\n");
    return 2;
  }
  const char* path = argv[1];
  bench::BenchFile b;
  if (!bench::LoadBenchFile(path, b)) return 1;
  const double mb = b.mb, readSeconds = b.readSeconds, analysisSeconds = b.analysisSeconds;
  const DataFile& file = b.file;
  const Catalogue& catalogue = b.catalogue;

  struct rusage usage {};
  ::getrusage(RUSAGE_SELF, &usage);

  std::printf("file             %s, version %u, %.1f MB\n", path, file.Version().Number(), mb);
  std::printf(
      "catalogue        %zu objects, %zu user tables, %zu columns, %zu index rows, "
      "%zu module texts\n",
      catalogue.objects.size(), catalogue.userTables.size(), catalogue.columns.size(),
      catalogue.indexRows.size(), catalogue.moduleTexts.size());
  std::printf("sequential read  %8.3f s  %8.1f MB/s\n", readSeconds, mb / readSeconds);
  std::printf("RunAnalysis      %8.3f s  %8.1f MB/s\n", analysisSeconds, mb / analysisSeconds);
  std::printf("peak memory      %8.1f MiB (ru_maxrss)\n", usage.ru_maxrss / 1024.0);
  return 0;
}

// Measures the save without windows, as mendora-cli export runs it: every
// table's definition and rows, keys, indexes, constraints and modules written
// as scripts, against a plain sequential read of the same file; and the
// process's peak memory.
//
//   export_bench FILE.mdf [SCRATCH_FOLDER] [--jobs N]
//
// --jobs: the tables read at once (default: one per hardware thread); run
// with 1 and with 2 in turn to see what the second core gives.
// The scripts go into a fresh folder inside SCRATCH_FOLDER (default: the
// system's temporary folder), removed at the end. The file is read once,
// unmeasured, first; run the program twice to see the figures with the file
// in the page cache.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/BenchFile.h"
#include "engine/Analysis.h"
#include "export/SaveJob.h"
#include "export/TablePool.h"

using namespace mendora;

namespace {

using bench::Clock;
using bench::Seconds;

uint64_t FolderBytes(const std::string& folder) {
  uint64_t total = 0;
  for (const auto& e : std::filesystem::recursive_directory_iterator(folder)) {
    if (e.is_regular_file()) total += e.file_size();
  }
  return total;
}

}  // namespace

int main(int argc, char** argv) {
  unsigned jobs = 0;
  if (argc >= 4 && std::string(argv[argc - 2]) == "--jobs") {
    jobs = static_cast<unsigned>(std::stoul(argv[argc - 1]));
    argc -= 2;
  }
  if (argc != 2 && argc != 3) {
    std::fprintf(stderr, "usage: export_bench FILE.mdf [SCRATCH_FOLDER] [--jobs N]\n");
    return 2;
  }
  const char* path = argv[1];
  bench::BenchFile b;
  if (!bench::LoadBenchFile(path, b)) return 1;
  const double mb = b.mb, readSeconds = b.readSeconds;
  const DataFile& file = b.file;
  const Catalogue& catalogue = b.catalogue;
  NullJobControl job;

  std::string scratch =
      (argc == 3 ? std::filesystem::path(argv[2]) : std::filesystem::temp_directory_path()) /
      "export_bench-XXXXXX";
  if (!::mkdtemp(scratch.data())) {
    std::perror("scratch folder");
    return 1;
  }
  ui::NoDisplay display;
  ui::NoPacing pacer;
  SaveRequest request{scratch + "/", true, {}};
  request.workers = jobs;
  SaveJob save(file, catalogue, request, display, pacer);
  const auto start = Clock::now();
  save.PrepareDestination();
  save.Run(job);
  const double saveSeconds = Seconds(start);
  const SaveReport& report = save.Report();
  const uint64_t written = FolderBytes(scratch);
  std::filesystem::remove_all(scratch);

  struct rusage usage {};
  ::getrusage(RUSAGE_SELF, &usage);
  std::printf("file             %s, version %u, %.1f MB, %zu user tables, %u workers\n", path,
              file.Version().Number(), mb, catalogue.userTables.size(),
              jobs ? jobs : DefaultWorkerCount());
  std::printf("sequential read  %8.3f s  %8.1f MB/s\n", readSeconds, mb / readSeconds);
  std::printf(
      "export           %8.3f s  %8.1f MB/s of file  %11llu rows  %6.2f M rows/s  "
      "(%.1f MB of scripts)\n",
      saveSeconds, mb / saveSeconds, static_cast<unsigned long long>(report.rowsWritten),
      report.rowsWritten / saveSeconds / 1e6, written / 1e6);
  std::printf("peak memory      %8.1f MiB (ru_maxrss)\n", usage.ru_maxrss / 1024.0);
  for (const std::string& f : report.failures) std::printf("failed: %s\n", f.c_str());
  return report.Ok() ? 0 : 1;
}

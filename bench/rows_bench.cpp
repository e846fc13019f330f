// Measures reading every row of every user table of one data file through
// TableReader: once to a sink that keeps nothing, once written out as CSV text
// (exact text, the quoting of the CSV save) to /dev/null, against a plain sequential read
// of the same file; and the process's peak memory. With --deleted, also
// every table read through DeletedRowReader (the live rows and, from the same
// pages, the rows a plain read leaves behind), against the live read alone.
//
//   rows_bench FILE.mdf [--deleted]
//
// The file is read once, unmeasured, first; run the program twice to see the
// figures with the file in the page cache. The read to nothing is also made by
// a pool of workers, one per hardware thread, over runs of pages.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "bench/BenchFile.h"
#include "engine/Analysis.h"
#include "engine/DeletedRowReader.h"
#include "engine/TableReader.h"
#include "engine/ValueText.h"
#include "export/CsvField.h"
#include "export/TablePool.h"

using namespace mendora;

namespace {

using bench::Clock;
using bench::Seconds;

volatile uint64_t valueSink;

struct Pass {
  uint64_t rows = 0;
  uint64_t unreadable = 0;
  uint64_t skipped = 0;
  uint64_t forwarded = 0;
  uint64_t bytesOut = 0;
  double seconds = 0;
  double cpuSeconds = 0;  // the process's processor time: steadier on a busy machine
};

double CpuSeconds(std::clock_t since) {
  return static_cast<double>(std::clock() - since) / CLOCKS_PER_SEC;
}

template <typename OnRow>
Pass ReadAllTables(const DataFile& file, const Catalogue& catalogue, OnRow onRow) {
  Pass pass;
  NullJobControl job;
  auto start = Clock::now();
  const std::clock_t cpu = std::clock();
  for (const auto& table : catalogue.userTables) {
    TableReader reader(file, catalogue, table.id);
    if (!reader.CanRead()) continue;
    reader.Read(job, onRow);
    pass.rows += reader.Stats().rows;
    pass.unreadable += reader.Stats().unreadableCells;
    pass.skipped += reader.Stats().skippedRecords;
    pass.forwarded += reader.Stats().forwardedRows;
  }
  pass.seconds = Seconds(start);
  pass.cpuSeconds = CpuSeconds(cpu);
  return pass;
}

struct DeletedPass {
  Pass live;
  uint64_t recovered = 0;
  uint64_t freedPages = 0;
  double scanSeconds = 0;  // finding the freed data pages of the file
};

template <typename OnRow>
DeletedPass ReadAllTablesWithDeleted(const DataFile& file, const Catalogue& catalogue,
                                     OnRow onRow) {
  DeletedPass pass;
  NullJobControl job;
  auto start = Clock::now();
  const std::clock_t cpu = std::clock();
  const std::vector<FreedPage> freed = FindFreedDataPages(file, &job);
  pass.scanSeconds = Seconds(start);
  pass.freedPages = freed.size();
  for (const auto& table : catalogue.userTables) {
    DeletedRowReader reader(file, catalogue, table.id, &freed);
    if (!reader.CanRead()) continue;
    reader.Read(job, onRow, [&](const RecoveredRow& row) { return onRow(row.values); });
    pass.live.rows += reader.LiveStats().rows;
    pass.recovered += reader.Stats().Total();
  }
  pass.live.seconds = Seconds(start);
  pass.live.cpuSeconds = CpuSeconds(cpu);
  return pass;
}

// The same read by a pool of workers (TablePool.h), each given a run of 64
// pages of one table at a time, so that one large table is shared too. Each
// worker sums the values' sizes on its own, as the read to nothing does.
Pass ReadAllTablesPooled(const DataFile& file, const Catalogue& catalogue, unsigned workers) {
  Pass pass;
  NullJobControl job;
  auto start = Clock::now();
  const std::clock_t cpu = std::clock();
  struct Run {
    int64_t tableId;
    std::vector<uint64_t> pages;
  };
  std::vector<Run> runs;
  constexpr size_t kRunPages = 64;
  for (const auto& table : catalogue.userTables) {
    TableReader reader(file, catalogue, table.id);
    if (!reader.CanRead()) continue;
    reader.ListPages(job, [&](uint64_t page) {
      if (runs.empty() || runs.back().tableId != table.id ||
          runs.back().pages.size() == kRunPages) {
        runs.push_back({table.id, {}});
      }
      runs.back().pages.push_back(page);
    });
  }
  struct Done {
    uint64_t rows = 0;
    uint64_t sizes = 0;
  };
  TablePool<Done> pool(workers);
  TablePool<Done>::Steps steps;
  steps.make = [&](size_t i, JobControl&, const TablePool<Done>::Put& put) {
    TableReader reader(file, catalogue, runs[i].tableId);
    Done done;
    for (uint64_t page : runs[i].pages) {
      reader.ReadPageRowsAt(page, [&](const RowValues& row) {
        done.sizes += row.size();
        for (const auto& v : row) done.sizes += v.bytes.size() + v.text.size();
        return true;
      });
    }
    done.rows = reader.Stats().rows;
    put(std::move(done));
  };
  steps.take = [&](size_t, Done& done) {
    pass.rows += done.rows;
    valueSink = valueSink + done.sizes;
  };
  pool.Run(runs.size(), job, steps);
  pass.seconds = Seconds(start);
  pass.cpuSeconds = CpuSeconds(cpu);
  return pass;
}

void Print(const char* what, const Pass& p, double mb) {
  std::printf("%-16s %8.3f s  %11llu rows  %8.2f M rows/s  %8.1f MB/s of file", what, p.seconds,
              static_cast<unsigned long long>(p.rows), p.rows / p.seconds / 1e6, mb / p.seconds);
  if (p.bytesOut) std::printf("  (%.1f MB of text)", p.bytesOut / 1e6);
  if (p.cpuSeconds > 0) {
    std::printf("  processor %.3f s: %.2f M rows/s", p.cpuSeconds, p.rows / p.cpuSeconds / 1e6);
  }
  std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
  const bool deleted = argc == 3 && std::string(argv[2]) == "--deleted";
  if (argc != 2 && !deleted) {
    std::fprintf(stderr, "usage: rows_bench FILE.mdf [--deleted]\n");
    return 2;
  }
  const char* path = argv[1];
  bench::BenchFile b;
  if (!bench::LoadBenchFile(path, b)) return 1;
  const double mb = b.mb, readSeconds = b.readSeconds, analysisSeconds = b.analysisSeconds;
  const DataFile& file = b.file;
  const Catalogue& catalogue = b.catalogue;

  // To nothing: only the values' own sizes are looked at.
  auto toNothing = [](const RowValues& row) {
    uint64_t n = row.size();
    for (const auto& v : row) n += v.bytes.size() + v.text.size();
    valueSink = valueSink + n;
    return true;
  };
  Pass null = ReadAllTables(file, catalogue, toNothing);
  const unsigned workers = DefaultWorkerCount();
  Pass pooled = ReadAllTablesPooled(file, catalogue, workers);
  DeletedPass withDeleted;
  // The two reads in turn, three times, the fastest of each kept: on a busy
  // machine one run of each says little.
  Pass fastestLive = null;
  for (int round = 0; deleted && round < 3; ++round) {
    if (round) {
      const Pass live = ReadAllTables(file, catalogue, toNothing);
      if (live.cpuSeconds < fastestLive.cpuSeconds) fastestLive = live;
    }
    const DeletedPass pass = ReadAllTablesWithDeleted(file, catalogue, toNothing);
    if (round == 0 || pass.live.cpuSeconds < withDeleted.live.cpuSeconds) withDeleted = pass;
  }

  // As CSV text, through a large stdio buffer.
  FILE* out = std::fopen("/dev/null", "wb");
  if (!out) {
    std::perror("/dev/null");
    return 1;
  }
  std::vector<char> buffer(1 << 20);
  std::setvbuf(out, buffer.data(), _IOFBF, buffer.size());
  std::string line, field;
  uint64_t bytesOut = 0;
  Pass csv = ReadAllTables(file, catalogue, [&](const RowValues& row) {
    line.clear();
    for (size_t i = 0; i < row.size(); ++i) {
      if (i) line += ',';
      if (row[i].IsNull()) continue;
      field.clear();
      AppendExactText(row[i], field);
      AppendCsvField(line, field);
    }
    line += "\r\n";
    bytesOut += line.size();
    return std::fwrite(line.data(), 1, line.size(), out) == line.size();
  });
  std::fclose(out);
  csv.bytesOut = bytesOut;

  struct rusage usage {};
  ::getrusage(RUSAGE_SELF, &usage);

  std::printf("file             %s, version %u, %.1f MB, %zu user tables\n", path,
              file.Version().Number(), mb, catalogue.userTables.size());
  std::printf("rows             %llu forwarded, %llu skipped records, %llu unreadable cells\n",
              static_cast<unsigned long long>(null.forwarded),
              static_cast<unsigned long long>(null.skipped),
              static_cast<unsigned long long>(null.unreadable));
  std::printf("sequential read  %8.3f s  %8.1f MB/s\n", readSeconds, mb / readSeconds);
  std::printf("RunAnalysis      %8.3f s  %8.1f MB/s\n", analysisSeconds, mb / analysisSeconds);
  Print("rows to null", null, mb);
  char pooledName[32];
  std::snprintf(pooledName, sizeof pooledName, "null, %u workers", workers);
  Print(pooledName, pooled, mb);
  Print("rows as CSV", csv, mb);
  if (deleted) {
    Print("rows + deleted", withDeleted.live, mb);
    std::printf("deleted rows     %llu recovered, %llu freed data pages found in %.3f s\n",
                static_cast<unsigned long long>(withDeleted.recovered),
                static_cast<unsigned long long>(withDeleted.freedPages), withDeleted.scanSeconds);
    std::printf(
        "gap walk         %+.1f %% over the live read (processor time, fastest of 3; "
        "%+.1f %% wall)\n",
        (withDeleted.live.cpuSeconds / fastestLive.cpuSeconds - 1) * 100,
        (withDeleted.live.seconds / fastestLive.seconds - 1) * 100);
  }
  std::printf("peak memory      %8.1f MiB (ru_maxrss)\n", usage.ru_maxrss / 1024.0);
  if (deleted && withDeleted.live.rows != null.rows) return 1;
  return null.rows == csv.rows && null.rows == pooled.rows ? 0 : 1;
}

// Measures the SQLite save of one table against the sqlite3 shell copying
// the same table between two SQLite files, side by side in one run:
//
//   ours     the save job with the sqlite format and only that table checked,
//            as `mendora-cli export FILE DEST --format sqlite --only TABLE`
//            runs it: rows read from the data file, decoded, bound and
//            inserted, then its indexes made
//   shell    sqlite3 on the database we wrote, with a second, new file
//            attached: the table's definition there, then
//            INSERT INTO other.t SELECT * FROM t, then its indexes
//
//   sqlite_bench FILE.mdf [TABLE] [SCRATCH_FOLDER]
//
// Without TABLE, the table with the most rows. Wall time is the measure;
// processor time is printed beside it, since on a busy machine the wall
// time says more about the other programs than about these two. A table of
// 1 M rows (1 009 521) comes from `large_mdf_generator OUT.mdf --size-mib 106
// --tables 1`; like the generator's tables outside --mixed, it has a clustered
// primary key on an integer, which both sides keep as the rowid and check
// row by row. A table without a key is copied by the shell in stored order
// with no such check, and the ratio is lower. Both sides write without
// syncing (the save's own setting, and the shell's file told the
// same), so that the disk's flush does not decide the figures.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/BenchFile.h"
#include "engine/Utf16.h"
#include "export/SaveJob.h"

using namespace mendora;

extern char** environ;

namespace {

using bench::Clock;
using bench::Seconds;

// Runs the sqlite3 shell on `database` with `sql`; its exit status.
int RunShell(const std::string& database, const std::string& sql) {
  std::vector<std::string> args = {"sqlite3", "-batch", "-bail", database, sql};
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  // What the shell prints (the journal mode it was told) is not wanted.
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int spawned = posix_spawnp(&pid, "sqlite3", &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return 127;
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
}

// Processor time, user and system, of this process (both of the save's
// threads) or of its waited-for children (the shell).
double CpuSeconds(int who) {
  struct rusage usage {};
  ::getrusage(who, &usage);
  auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// The machine's load average over the last minute, as /proc/loadavg has
// it; empty where there is none. On a machine busy with other programs the
// two sides' wall times say more about those programs than about these two.
std::string LoadAverage() {
  std::FILE* in = std::fopen("/proc/loadavg", "rb");
  if (!in) return {};
  char text[64] = {};
  const bool read = std::fscanf(in, "%63s", text) == 1;
  std::fclose(in);
  return read ? text : "";
}

std::string Quoted(const std::string& text, char quote) {
  std::string out(1, quote);
  for (char c : text) {
    out += c;
    if (c == quote) out += c;
  }
  return out + quote;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 4) {
    std::fprintf(stderr, "usage: sqlite_bench FILE.mdf [TABLE] [SCRATCH_FOLDER]\n");
    return 2;
  }
  bench::BenchFile b;
  if (!bench::LoadBenchFile(argv[1], b)) return 1;
  const Catalogue& catalogue = b.catalogue;

  const _SYSOBJECTS* table = nullptr;
  uint64_t rows = 0;
  for (const auto& t : catalogue.userTables) {
    for (const auto& s : catalogue.tableStorage) {
      if (s.tableId != t.id) continue;
      const bool named = argc >= 3 && ToUtf8(t.name) == argv[2];
      if (named || (argc < 3 && s.rowCount >= rows)) {
        table = &t;
        rows = s.rowCount;
      }
    }
  }
  if (!table) {
    std::fprintf(stderr, "no such table\n");
    return 1;
  }
  const std::string name = ToUtf8(table->name);

  std::string scratch =
      (argc == 4 ? std::filesystem::path(argv[3]) : std::filesystem::temp_directory_path()) /
      "sqlite_bench-XXXXXX";
  if (!::mkdtemp(scratch.data())) {
    std::perror("scratch folder");
    return 1;
  }
  const std::string ours = scratch + "/ours.sqlite";
  const std::string copy = scratch + "/copy.sqlite";
  std::FILE* made = std::fopen(ours.c_str(), "wb");
  if (made) std::fclose(made);

  ui::NoDisplay display;
  ui::NoPacing pacer;
  NullJobControl job;
  SaveRequest request{ours, false, {table->name + u"()"}, ui::SaveFormat::kSqlite};
  SaveJob save(b.file, catalogue, request, display, pacer);
  auto start = Clock::now();
  double cpu = CpuSeconds(RUSAGE_SELF);
  save.PrepareDestination();
  save.Run(job);
  const double oursSeconds = Seconds(start);
  const double oursCpu = CpuSeconds(RUSAGE_SELF) - cpu;
  const SaveReport& report = save.Report();

  const std::string t = Quoted(name, '"');
  // The table's definition and indexes as the saved file holds them, read
  // with the shell and made again in the attached file around the copy.
  std::string definition, indexes;
  {
    const std::string listing = scratch + "/ddl.txt";
    const std::string dump =
        "sqlite3 -batch " + Quoted(ours, '\'') +
        " \"SELECT sql || ';' FROM sqlite_schema WHERE tbl_name = " + Quoted(name, '\'') +
        " AND sql IS NOT NULL ORDER BY type DESC\" > " + Quoted(listing, '\'');
    if (std::system(dump.c_str()) != 0) {
      std::fprintf(stderr, "cannot read the table's definition\n");
      return 1;
    }
    std::FILE* in = std::fopen(listing.c_str(), "rb");
    char buffer[4096];
    std::string text;
    for (size_t n; in && (n = std::fread(buffer, 1, sizeof buffer, in)) > 0;)
      text.append(buffer, n);
    if (in) std::fclose(in);
    const std::string head = "CREATE TABLE " + t;
    for (size_t at = 0; at < text.size();) {
      size_t end = text.find(";\n", at);
      if (end == std::string::npos) end = text.size();
      std::string statement = text.substr(at, end - at);
      at = end + 2;
      if (statement.rfind(head, 0) == 0) {
        definition = "CREATE TABLE other." + t + statement.substr(head.size()) + ";";
      } else if (statement.rfind("CREATE ", 0) == 0) {
        // CREATE [UNIQUE] INDEX "n" ON "t" (...): the index into the other file.
        const size_t index = statement.find("INDEX ") + 6;
        indexes += statement.substr(0, index) + "other." + statement.substr(index) + ";";
      }
    }
  }
  start = Clock::now();
  cpu = CpuSeconds(RUSAGE_CHILDREN);
  const int status = RunShell(ours, "ATTACH " + Quoted(copy, '\'') +
                                        " AS other; PRAGMA other.synchronous=OFF;"
                                        "PRAGMA other.journal_mode=MEMORY; BEGIN; " +
                                        definition + " INSERT INTO other." + t +
                                        " SELECT * FROM main." + t + "; " + indexes + " COMMIT;");
  const double shellSeconds = Seconds(start);
  const double shellCpu = CpuSeconds(RUSAGE_CHILDREN) - cpu;
  std::filesystem::remove_all(scratch);

  std::printf("file             %s, version %u, %.1f MB; table %s, %llu rows\n", argv[1],
              b.file.Version().Number(), b.mb, name.c_str(),
              static_cast<unsigned long long>(report.rowsWritten));
  const double n = static_cast<double>(report.rowsWritten);
  std::printf("                 wall time             processor time (user + system)\n");
  std::printf("export sqlite    %8.3f s %6.2f M rows/s %8.3f s\n", oursSeconds,
              n / oursSeconds / 1e6, oursCpu);
  std::printf("sqlite3 copy     %8.3f s %6.2f M rows/s %8.3f s\n", shellSeconds,
              n / shellSeconds / 1e6, shellCpu);
  std::printf(
      "speed ratio      %8.2f                   %8.2f   (export / shell copy; target 0.5)\n",
      shellSeconds / oursSeconds, shellCpu / oursCpu);
  if (const std::string load = LoadAverage(); !load.empty()) {
    std::printf("machine load     %s (1-minute load average, %ld processors)\n", load.c_str(),
                ::sysconf(_SC_NPROCESSORS_ONLN));
  }
  for (const std::string& f : report.failures) std::printf("failed: %s\n", f.c_str());
  if (status != 0) std::printf("failed: the sqlite3 shell exited with %d\n", status);
  return report.Ok() && status == 0 ? 0 : 1;
}

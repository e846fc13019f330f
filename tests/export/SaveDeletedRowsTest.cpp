// The data formats' save of recovered rows over a builder-made file whose
// table was truncated (every row on a freed page) beside one with a ghost:
// each recovered row reaches the writer as the reader finds it, so a freed
// page's rows are on disk before the next freed page is read, and the SQLite
// file and the CSV folder read back with the same rows.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "export/SaveJob.h"
#include "tests/engine/AnalysedFile.h"
#include "tests/support/CatalogueBuilder.h"
#include "tests/support/TempDir.h"

using mdftest::CatalogueBuilder;
using mdftest::IntColumn;
using mdftest::IntValue;
using mdftest::MdfBuilder;
using mdftest::Row;
using mdftest::TableOptions;
using mdftest::TempDir;
using mdftest::U8;
using mdftest::VarCharColumn;
using mdftest::VarCharValue;

namespace {

namespace fs = std::filesystem;

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// The rows of a CSV file written without quotes (none of these values needs
// them), after its header line, sorted.
std::vector<std::string> CsvRows(const std::string& path, std::string* header = nullptr) {
  std::vector<std::string> rows;
  std::istringstream in(ReadText(path));
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (header && header->empty()) {
      *header = line;
      continue;
    }
    rows.push_back(line);
  }
  if (!header && !rows.empty()) rows.erase(rows.begin());
  std::sort(rows.begin(), rows.end());
  return rows;
}

// A job control that, at every checkpoint, notes how many rows one CSV file
// holds on disk then (none noted while it does not exist).
class Watch final : public mendora::JobControl {
 public:
  explicit Watch(std::string folder) : folder_(std::move(folder)) {}
  void Hold() override {}
  void Release() override {}
  void Stop() override {}
  bool Stopped() const override { return false; }
  void Checkpoint() override {
    for (const auto& entry : fs::directory_iterator(folder_)) {
      if (entry.path().filename() == "Cleared_deleted.csv") {
        seen.insert(CsvRows(entry.path().string()).size());
      }
    }
  }
  std::set<size_t> seen;

 private:
  std::string folder_;
};

struct TruncatedFile {
  // Kept(Id, Name): rows 0..2, row 1 a ghost. Cleared(Id, Name): 15 rows,
  // five a page, all three pages freed as a truncate leaves them.
  TruncatedFile() : cat(655, u"Shop") {
    auto rows = [](int from, int n) {
      std::vector<Row> out;
      for (int i = from; i < from + n; ++i) {
        out.push_back({IntValue(i), VarCharValue("item " + std::to_string(i))});
      }
      return out;
    };
    TableOptions options;
    options.rowsPerPage = 5;
    const int32_t kept = cat.AddTable(u"Kept", {IntColumn(u"Id", true), VarCharColumn(u"Name", 20)},
                                      rows(0, 3), options);
    const int32_t cleared = cat.AddTable(
        u"Cleared", {IntColumn(u"Id", true), VarCharColumn(u"Name", 20)}, rows(100, 15), options);
    builder = std::make_unique<MdfBuilder>(cat.Build());
    const uint32_t keptPage = cat.Table(kept).dataPages[0];
    auto bytes = builder->Page(keptPage).Build();
    const uint16_t slot1 = static_cast<uint16_t>(static_cast<unsigned>(bytes[8188]) |
                                                 (static_cast<unsigned>(bytes[8189]) << 8));
    builder->Page(keptPage).Poke(slot1, U8(0x3C));
    clearedPages = cat.Table(cleared).dataPages;
    for (uint32_t p : clearedPages) CatalogueBuilder::SetAllocated(*builder, p, false);
  }
  CatalogueBuilder cat;
  std::unique_ptr<MdfBuilder> builder;
  std::vector<uint32_t> clearedPages;
};

// What the recovered rows of Cleared read back as: "<why>,<Id>,<Name>", sorted.
std::vector<std::string> ClearedRows() {
  std::vector<std::string> out;
  for (int i = 100; i < 115; ++i)
    out.push_back("freed page," + std::to_string(i) + ",item " + std::to_string(i));
  std::sort(out.begin(), out.end());
  return out;
}

std::vector<std::string> Query(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  std::vector<std::string> out;
  EXPECT_EQ(sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
  sqlite3_stmt* st = nullptr;
  EXPECT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
  while (st && sqlite3_step(st) == SQLITE_ROW) {
    out.push_back(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
  }
  sqlite3_finalize(st);
  sqlite3_close(db);
  std::sort(out.begin(), out.end());
  return out;
}

TEST(SaveDeletedRows, EachRecoveredRowIsOnDiskAsFoundAndReadsBackFromBothFormats) {
  TruncatedFile f;
  analysedtest::AnalysedFile file(*f.builder);
  ASSERT_TRUE(file.accepted);
  ui::NoDisplay display;
  ui::NoPacing pacer;

  TempDir csv;
  Watch watch(csv.path());
  mendora::SaveRequest request{csv.path(), true, {}, ui::SaveFormat::kCsv, true};
  // One reader, so that the rows reach the writer as they are read; workers
  // hand them over in batches of a few hundred, just as bounded.
  request.workers = 1;
  mendora::SaveJob csvSave(file.file, file.c, request, display, pacer);
  csvSave.PrepareDestination();
  csvSave.Run(watch);
  const mendora::SaveReport& csvReport = csvSave.Report();
  EXPECT_TRUE(csvReport.Ok()) << (csvReport.failures.empty() ? "" : csvReport.failures[0]);
  EXPECT_EQ(csvReport.rowsWritten, 2u);
  EXPECT_EQ(csvReport.deletedRowsWritten, 16u);
  // Before the second and the third freed page are read, the rows of the
  // pages before them are in the file already.
  EXPECT_TRUE(watch.seen.count(5) && watch.seen.count(10)) << watch.seen.size();
  std::string header;
  std::vector<std::string> rows = CsvRows(csv.path() + "Cleared_deleted.csv", &header);
  EXPECT_EQ(header, "_found_at,_why,Id,Name");
  for (std::string& row : rows) row.erase(0, row.find(',') + 1);  // where: a page of Cleared
  EXPECT_EQ(rows, ClearedRows());
  EXPECT_EQ(CsvRows(csv.path() + "Kept_deleted.csv").size(), 1u);
  EXPECT_EQ(CsvRows(csv.path() + "Kept.csv"), (std::vector<std::string>{"0,item 0", "2,item 2"}));
  EXPECT_EQ(CsvRows(csv.path() + "Cleared.csv"), std::vector<std::string>{});

  TempDir dir;
  const std::string db = dir.path() + "copy.sqlite";
  std::ofstream(db).close();
  request = {db, true, {}, ui::SaveFormat::kSqlite, true};
  request.workers = 2;  // the batches of recovered rows
  mendora::SaveJob sqliteSave(file.file, file.c, request, display, pacer);
  mendora::NullJobControl job;
  sqliteSave.PrepareDestination();
  sqliteSave.Run(job);
  const mendora::SaveReport& report = sqliteSave.Report();
  EXPECT_TRUE(report.Ok()) << (report.failures.empty() ? "" : report.failures[0]);
  EXPECT_EQ(report.deletedRowsWritten, 16u);
  EXPECT_EQ(Query(db, "SELECT _why || ',' || Id || ',' || Name FROM Cleared_deleted"),
            ClearedRows());
  EXPECT_EQ(Query(db, "SELECT _why || ',' || Id || ',' || Name FROM Kept_deleted"),
            std::vector<std::string>{"ghost,1,item 1"});
  EXPECT_EQ(Query(db, "SELECT Id FROM Kept"), (std::vector<std::string>{"0", "2"}));
  EXPECT_EQ(Query(db, "SELECT count(*) FROM Cleared"), std::vector<std::string>{"0"});
  EXPECT_EQ(Query(db, "PRAGMA integrity_check"), std::vector<std::string>{"ok"});
}

}  // namespace

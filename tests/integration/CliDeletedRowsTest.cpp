// mendora-cli on a builder-made file with a deleted row, a ghost and a
// damaged record: `rows --deleted` and `--all` lead each row with where it was
// found and why, `rows --damage` and `info --damage` say where the damage is,
// and `export --deleted` writes the recovered rows beside the data script
// without any batch file running them, in the SQLite file as the table
// Items_deleted, in the CSV folder as Items_deleted.csv.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/integration/CliRun.h"
#include "tests/support/CatalogueBuilder.h"
#include "tests/support/TempDir.h"

using namespace mdftest;

namespace {

uint16_t SlotOffset(MdfBuilder& file, uint32_t page, uint16_t slot) {
  auto bytes = file.Page(page).Build();
  const size_t at = 8190 - 2u * slot;
  return static_cast<uint16_t>(static_cast<unsigned>(bytes[at]) |
                               (static_cast<unsigned>(bytes[at + 1]) << 8));
}

struct DeletedFile {
  TempFile mdf;
  uint32_t page = 0;
  uint16_t removedAt = 0;
  uint16_t damagedAt = 0;

  DeletedFile() {
    CatalogueBuilder cat(655, u"Shop");
    std::vector<Row> rows;
    for (int i = 0; i < 5; ++i)
      rows.push_back({IntValue(i), VarCharValue("item " + std::to_string(i))});
    const int32_t id =
        cat.AddTable(u"Items", {IntColumn(u"Id", true), VarCharColumn(u"Name", 20)}, rows);
    MdfBuilder file = cat.Build();
    page = cat.Table(id).dataPages[0];
    // Row 1 a ghost, row 3 deleted (its slot removed), row 4 damaged: its
    // variable column ends past the page.
    file.Page(page).Poke(SlotOffset(file, page, 1), U8(0x3C));
    removedAt = SlotOffset(file, page, 3);
    file.Page(page).Poke(8190 - 2 * 3, U16(0));
    damagedAt = SlotOffset(file, page, 4);
    file.Page(page).Poke(damagedAt + 13, U16(0x7FFF));
    file.WriteTo(mdf.path());
  }
};

TEST(CliDeletedRows, DeletedAndAllLeadEachRowWithWhereAndWhy) {
  DeletedFile f;
  const std::string p = std::to_string(f.page);
  CliRun run = RunCli({"rows", f.mdf.path(), "Items", "--deleted"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out,
            "_found_at\t_why\tId\tName\n"
            "1:" +
                p +
                "/1\tghost\t1\titem 1\n"
                "1:" +
                p + "@+" + std::to_string(f.removedAt) + "\tunreferenced\t3\titem 3\n");

  run = RunCli({"rows", f.mdf.path(), "Items", "--all", "--format", "json"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out,
            "{\"_found_at\":\"\",\"_why\":\"\",\"Id\":0,\"Name\":\"item 0\"}\n"
            "{\"_found_at\":\"\",\"_why\":\"\",\"Id\":2,\"Name\":\"item 2\"}\n"
            "{\"_found_at\":\"1:" +
                p +
                "/1\",\"_why\":\"ghost\",\"Id\":1,\"Name\":\"item 1\"}\n"
                "{\"_found_at\":\"1:" +
                p + "@+" + std::to_string(f.removedAt) +
                "\",\"_why\":\"unreferenced\",\"Id\":3,\"Name\":\"item 3\"}\n");
  EXPECT_NE(run.err.find("skipped records: 1"), std::string::npos) << run.err;

  EXPECT_EQ(RunCli({"rows", f.mdf.path(), "Items", "--deleted", "--all"}).status, 2);
}

TEST(CliDeletedRows, DamageIsOneLinePerSkippedRecordWithItsPlace) {
  DeletedFile f;
  const std::string line = "1\t" + std::to_string(f.page) + "\t4\t" + std::to_string(f.damagedAt) +
                           "\tItems: record past its end on the page\n";
  CliRun run = RunCli({"rows", f.mdf.path(), "Items", "--damage"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, line);
  run = RunCli({"info", f.mdf.path(), "--damage"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, line);
}

TEST(CliDeletedRows, ExportWritesTheDeletedScriptThatNoBatchRuns) {
  DeletedFile f;
  TempDir dest;
  CliRun run = RunCli({"export", f.mdf.path(), dest.path(), "--deleted"});
  ASSERT_EQ(run.status, 0) << run.err;
  std::string folder = run.out.substr(0, run.out.find('\n'));
  if (!folder.empty() && folder.back() != '/') folder += '/';
  const std::string deleted = ReadAll(folder + "Tables_Data/Items_Deleted.sql");
  const std::string p = std::to_string(f.page);
  EXPECT_NE(deleted.find("-- 1:" + p + "/1 ghost\r\nInsert into [Items] Values(1,'item 1')\r\n"),
            std::string::npos)
      << deleted;
  EXPECT_NE(deleted.find("unreferenced\r\nInsert into [Items] Values(3,'item 3')\r\n"),
            std::string::npos)
      << deleted;
  const std::string data = ReadAll(folder + "Tables_Data/Items_Data.sql");
  EXPECT_EQ(data.find("'item 1'"), std::string::npos);
  for (const char* batch : {"Import.bat", "Tables_Data.bat", "import.sh"}) {
    EXPECT_EQ(ReadAll(folder + batch).find("Deleted"), std::string::npos) << batch;
  }
  // Without --deleted there is no such script.
  TempDir plain;
  run = RunCli({"export", f.mdf.path(), plain.path()});
  ASSERT_EQ(run.status, 0) << run.err;
  folder = run.out.substr(0, run.out.find('\n'));
  if (!folder.empty() && folder.back() != '/') folder += '/';
  EXPECT_FALSE(std::filesystem::exists(folder + "Tables_Data/Items_Deleted.sql"));
}

// The data formats keep the same rows with the same two leading columns; the
// live table keeps only the live rows, and a table of the file that has the
// name already is not taken.
TEST(CliDeletedRows, SqliteAndCsvSavesHoldTheDeletedRowsBesideTheTable) {
  DeletedFile f;
  const std::string p = std::to_string(f.page);
  TempDir dest;
  CliRun run = RunCli({"export", f.mdf.path(), dest.path(), "--format", "sqlite", "--deleted"});
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string db = run.out.substr(0, run.out.find('\n'));
  auto query = [&](const std::string& sql) {
    const CliRun q = RunProgram({"sqlite3", "-batch", db, sql});
    EXPECT_EQ(q.status, 0) << q.err;
    return q.out;
  };
  EXPECT_EQ(query("SELECT * FROM Items_deleted ORDER BY Id"),
            "1:" + p + "/1|ghost|1|item 1\n1:" + p + "@+" + std::to_string(f.removedAt) +
                "|unreferenced|3|item 3\n");
  EXPECT_EQ(query("SELECT group_concat(name, ',') FROM pragma_table_info('Items_deleted')"),
            "_found_at,_why,Id,Name\n");
  EXPECT_EQ(query("SELECT group_concat(Id, ',') FROM Items"), "0,2\n");
  EXPECT_EQ(query("PRAGMA integrity_check"), "ok\n");

  TempDir csv;
  run = RunCli({"export", f.mdf.path(), csv.path(), "--format", "csv", "--deleted"});
  ASSERT_EQ(run.status, 0) << run.err;
  std::string folder = run.out.substr(0, run.out.find('\n'));
  if (!folder.empty() && folder.back() != '/') folder += '/';
  EXPECT_EQ(ReadAll(folder + "Items_deleted.csv"),
            "_found_at,_why,Id,Name\r\n1:" + p + "/1,ghost,1,item 1\r\n1:" + p + "@+" +
                std::to_string(f.removedAt) + ",unreferenced,3,item 3\r\n");
  EXPECT_EQ(ReadAll(folder + "Items.csv"), "Id,Name\r\n0,item 0\r\n2,item 2\r\n");

  // Without --deleted neither appears.
  TempDir plain;
  run = RunCli({"export", f.mdf.path(), plain.path(), "--format", "sqlite"});
  ASSERT_EQ(run.status, 0) << run.err;
  const CliRun tables =
      RunProgram({"sqlite3", "-batch", run.out.substr(0, run.out.find('\n')),
                  "SELECT count(*) FROM sqlite_schema WHERE name LIKE '%deleted'"});
  EXPECT_EQ(tables.out, "0\n");
}

}  // namespace

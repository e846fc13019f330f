// A database in several data files, and tables whose rows are stored in a way
// the reader does not decode. The files are written by the fixture builder:
// a table's pages moved into a secondary file (file id 3) whose page 0 names
// the same database, and rowsets that sysrowsets marks compressed.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine/Analysis.h"
#include "engine/FileDamage.h"
#include "engine/TableReader.h"
#include "engine/Utf16.h"
#include "tests/support/CatalogueBuilder.h"
#include "tests/support/TempDir.h"

using namespace mdftest;
using mendora::RowValues;
using mendora::TableReader;

namespace {

struct TwoTables {
  CatalogueBuilder b;
  int32_t kept = 0, moved = 0;
  explicit TwoTables(uint16_t version, uint8_t compression = 0) : b(version, u"db") {
    std::vector<Row> rows;
    for (int i = 0; i < 300; ++i) rows.push_back({IntValue(i), VarCharValue(std::to_string(i))});
    kept = b.AddTable(u"kept", {IntColumn(u"id", true), VarCharColumn(u"v", 20)}, {rows[0]});
    TableOptions options;
    options.compression = compression;
    options.rowsPerPage = 40;  // several data pages, linked
    moved = b.AddTable(u"moved", {IntColumn(u"id", true), VarCharColumn(u"v", 20)}, rows, options);
    // Clustered: its rows are read along the leaf level's next-page links.
    b.AddKey(moved, u"PK_moved", "PK", {1}, true);
  }
};

struct Opened {
  mendora::DataFile file;
  mendora::Catalogue c;
  explicit Opened(const std::string& path) {
    EXPECT_TRUE(file.Open(path));
    EXPECT_TRUE(file.DetectVersion());
    mendora::NullJobControl job;
    mendora::RunAnalysis(file, c, job);
  }
  // The table's first column of every row, or nothing when it is not read.
  std::vector<int64_t> Ids(int32_t table, std::string* reason = nullptr) {
    TableReader reader(file, c, table);
    if (reason) *reason = reader.NotReadReason();
    std::vector<int64_t> ids;
    mendora::NullJobControl job;
    reader.Read(job, [&](const RowValues& row) {
      ids.push_back(row[0].integer);
      return true;
    });
    return ids;
  }
};

// Writes the database as `primaryName` with `moved`'s pages in a secondary
// file named `secondaryName` (none when empty); returns the primary's path.
std::string WriteSplit(TwoTables& t, const TempDir& dir, const std::string& primaryName,
                       const std::string& secondaryName, SecondaryFileSplit split = {}) {
  split.tableId = t.moved;
  t.b.EditSystemRows(MoveTableRows(t.b, split));
  MdfBuilder primary = t.b.Build();
  MdfBuilder secondary = SplitOffSecondaryFile(t.b, primary, split);
  primary.WriteTo(dir.path() + primaryName);
  if (!secondaryName.empty()) secondary.WriteTo(dir.path() + secondaryName);
  return dir.path() + primaryName;
}

std::vector<int64_t> Count(int64_t n) {
  std::vector<int64_t> ids;
  for (int64_t i = 0; i < n; ++i) ids.push_back(i);
  return ids;
}

TEST(DatabaseFiles, ATableOnASecondaryFileIsReadThroughItsPageZeroNotItsName) {
  for (uint16_t version : {uint16_t{655}, uint16_t{904}}) {
    SCOPED_TRACE(version);
    TwoTables t(version);
    TempDir dir;
    // The secondary under a name that says nothing, and the files of another
    // database (another binding id) beside them, one named like ours.
    const std::string path = WriteSplit(t, dir, "db.mdf", "zz-unrelated-name.bin");
    TwoTables other(version);
    SecondaryFileSplit foreign;
    foreign.bindingId[0] = std::byte{0x11};
    foreign.fileId = 4;
    WriteSplit(other, dir, "other.mdf", "db_2.ndf", foreign);

    Opened o(path);
    ASSERT_EQ(o.file.Files().size(), 2u);
    EXPECT_EQ(o.file.Files()[0].fileId, 1);
    EXPECT_EQ(o.file.Files()[1].fileId, 3);
    EXPECT_EQ(o.file.Files()[1].filegroup, 2);
    EXPECT_EQ(o.file.Files()[1].logicalName, u"Second");
    EXPECT_EQ(std::filesystem::path(o.file.Files()[1].path).filename(), "zz-unrelated-name.bin");
    std::string reason;
    EXPECT_EQ(o.Ids(t.moved, &reason), Count(300));
    EXPECT_EQ(reason, "");
    EXPECT_EQ(o.Ids(t.kept), Count(1));
  }
}

TEST(DatabaseFiles, AMissingSecondaryFileIsNamedByTheTablesOnIt) {
  TwoTables t(869);
  TempDir dir;
  const std::string path = WriteSplit(t, dir, "db.mdf", "");
  Opened o(path);
  EXPECT_EQ(o.file.Files().size(), 1u);
  std::string reason;
  EXPECT_TRUE(o.Ids(t.moved, &reason).empty());
  EXPECT_EQ(reason, "rows are in data file 3, which was not found beside the primary file");
  EXPECT_FALSE(TableReader(o.file, o.c, t.moved).CanRead());
  // Everything else is read, and the catalogue still knows the table.
  EXPECT_EQ(o.Ids(t.kept), Count(1));
  EXPECT_EQ(o.c.userTables.size(), 2u);
  EXPECT_FALSE(o.c.damage.Any());
}

TEST(DatabaseFiles, AnAllocationChainGoingOnIntoAMissingFileIsNamedNotReadUpToIt) {
  // The unit's first IAM page is in the primary file and maps nothing there;
  // its chain goes on to the IAM page in file 3 that maps every row.
  SecondaryFileSplit split;
  split.chainFromPrimary = true;
  {
    TwoTables t(904);
    TempDir dir;
    Opened o(WriteSplit(t, dir, "db.mdf", "db_2.ndf", split));
    std::string reason;
    EXPECT_EQ(o.Ids(t.moved, &reason), Count(300));
    EXPECT_EQ(reason, "");
  }
  TwoTables t(904);
  TempDir dir;
  Opened o(WriteSplit(t, dir, "db.mdf", "", split));
  std::string reason;
  EXPECT_TRUE(o.Ids(t.moved, &reason).empty());
  EXPECT_EQ(reason, "some rows are in data file 3, which was not found beside the primary file");
  EXPECT_EQ(o.Ids(t.kept), Count(1));
  // The damage report names the file and the page the chain leads to, and
  // no reference counts as past the end of the primary file.
  mendora::DamageReport report;
  mendora::NullJobControl job;
  mendora::CollectFileDamage(o.file, o.c, report, job);
  ASSERT_EQ(report.Entries().size(), 1u);
  const mendora::DamageEntry& e = report.Entries()[0];
  EXPECT_EQ(e.file, 3);
  EXPECT_EQ(e.page, t.b.Table(t.moved).iamPage);
  EXPECT_EQ(e.reason, "moved: " + reason);
}

TEST(UnreadStorage, TablesWhoseRowsAreKeptElsewhereAreRefusedWithTheirReason) {
  struct Case {
    const char* name;
    uint32_t columnStatus;  // syscolpars status bits of the second column
    uint32_t tableStatus2;  // sysschobjs status2 bits
    const char* reason;
  };
  for (Case c :
       {Case{"memory-optimized", 0, 0x08,
             "rows of a memory-optimized table are kept outside the data file and are not read"},
        Case{"FILESTREAM", 0x20, 0,
             "rows with FILESTREAM data kept outside the data file are not read"},
        Case{"sparse", 0x1000000, 0, "rows stored with sparse columns are not read"},
        Case{"column set", 0x2000000, 0, "rows stored with sparse columns are not read"}}) {
    SCOPED_TRACE(c.name);
    CatalogueBuilder b(869, u"db");
    ColumnDef second = VarCharColumn(u"v", 20);
    second.statusBits = c.columnStatus;
    TableOptions options;
    options.status2 = c.tableStatus2;
    const int32_t odd = b.AddTable(u"odd", {IntColumn(u"id", true), second},
                                   {{IntValue(1), VarCharValue("a")}}, options);
    // Other bits of the same words say nothing of where rows are.
    ColumnDef plainSecond = VarCharColumn(u"v", 20);
    plainSecond.statusBits = 0x02 | 0x020000;  // ANSI padded, replicated
    TableOptions plainOptions;
    plainOptions.status2 = 0x01;
    const int32_t plain = b.AddTable(u"plain", {IntColumn(u"id", true), plainSecond},
                                     {{IntValue(7), VarCharValue("b")}}, plainOptions);
    TempDir dir;
    b.Build().WriteTo(dir.path() + "db.mdf");
    Opened o(dir.path() + "db.mdf");
    std::string reason;
    EXPECT_TRUE(o.Ids(odd, &reason).empty());
    EXPECT_EQ(reason, c.reason);
    // The catalogue still knows the table and its columns.
    EXPECT_EQ(TableReader(o.file, o.c, odd).Columns().size(), 2u);
    EXPECT_EQ(o.Ids(plain, &reason), std::vector<int64_t>{7});
    EXPECT_EQ(reason, "");
  }
}

TEST(UnreadStorage, CompressedAndColumnstoreRowsAreRefusedWithTheirReason) {
  struct Case {
    uint8_t level;
    const char* reason;
  };
  for (Case c : {Case{1, "rows stored with row compression are not read"},
                 Case{2, "rows stored with page compression are not read"},
                 Case{3, "rows stored in a columnstore are not read"}}) {
    SCOPED_TRACE(c.reason);
    TwoTables t(706, c.level);
    TempDir dir;
    t.b.Build().WriteTo(dir.path() + "db.mdf");
    Opened o(dir.path() + "db.mdf");
    std::string reason;
    EXPECT_TRUE(o.Ids(t.moved, &reason).empty());
    EXPECT_EQ(reason, c.reason);
    EXPECT_EQ(o.Ids(t.kept), Count(1));
  }
}

}  // namespace

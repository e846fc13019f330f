// The SQLite writer over hand-made catalogues and rows: the rules SQLite
// would enforce stay in a table's definition only where the rows meet them,
// the others move to _mendora_constraints; rows SQLite refuses and values
// not kept as they are come back as warnings. Read back through the SQLite
// library; the real files are read back with the sqlite3 shell.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cmath>

#include "engine/DeletedRowReader.h"
#include "engine/TypeCodes.h"
#include "export/SqliteWriter.h"
#include "tests/support/CatalogueMaker.h"
#include "tests/support/TempDir.h"

namespace mendora {
namespace {

Value Int(int64_t n) {
  Value v;
  v.kind = ValueKind::kInteger;
  v.integer = n;
  return v;
}

Value Float(double d) {
  Value v;
  v.kind = ValueKind::kFloat;
  v.real8 = d;
  return v;
}

Value Digits(std::string digits) {
  Value v;
  v.kind = ValueKind::kDecimal;
  v.digits = std::move(digits);
  return v;
}

// The single-column answers of `sql`, as text; "NULL" for NULL.
std::vector<std::string> Query(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  std::vector<std::string> out;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    ADD_FAILURE() << "cannot open " << path;
    sqlite3_close(db);
    return out;
  }
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
    ADD_FAILURE() << sql << ": " << sqlite3_errmsg(db);
  }
  while (st && sqlite3_step(st) == SQLITE_ROW) {
    const unsigned char* text = sqlite3_column_text(st, 0);
    out.push_back(text ? reinterpret_cast<const char*>(text) : "NULL");
  }
  sqlite3_finalize(st);
  sqlite3_close(db);
  return out;
}

// Parents(Id int primary key, Code char unique), Children(Id, ParentId, Price
// decimal, Ratio float) with a foreign key to Parents, one to a table not
// saved, and three checks: one SQLite reads, one it cannot, and one whose
// meaning the rows break there.
struct Family : mdftest::CatalogueMaker {
  Family() {
    Object(u"Parents", 10, 0, u"U ");
    Object(u"Children", 20, 0, u"U ");
    Object(u"PK_Parents", 11, 10, u"PK");
    Object(u"UQ_Code", 12, 10, u"UQ");
    Object(u"FK_Parent", 21, 20, u"F ");
    Object(u"FK_Elsewhere", 22, 20, u"F ");
    Object(u"CK_Positive", 23, 20, u"C ");
    Object(u"CK_Today", 24, 20, u"C ");
    Object(u"CK_Pattern", 25, 20, u"C ");
    Column(10, u"Id", 1, kXInt, 4, 1);
    Column(10, u"Code", 2, kXInt);
    Column(20, u"Id", 1);
    Column(20, u"ParentId", 2);
    Column(20, u"Price", 3, kXDecimal, 17).prec = 38;
    Column(20, u"Ratio", 4, kXFloat, 8);
    Column(30, u"Other", 1);
    Index(10, 1, u"PK_Parents", true, true);
    Key(10, 1, 1);
    Index(10, 2, u"UQ_Code", true);
    c.indexRows.back().uniqueConstraint = true;
    Key(10, 2, 2);
    Reference(21, kReferencingColumn, 20, 2);
    Reference(21, kReferencedColumn, 10, 1);
    Reference(22, kReferencingColumn, 20, 1);
    Reference(22, kReferencedColumn, 30, 1);
    CheckText(23, u"([Id]>(0))");
    CheckText(24, u"([Id]<getdate())");
    CheckText(25, u"([Ratio] like '[0-9]%')");
  }
};

TEST(SqliteWriter, RulesStayWhereTheRowsMeetThemAndMoveAsideOtherwise) {
  Family family;
  mdftest::TempDir dir;
  const std::string path = dir.path() + "copy.sqlite";
  SaveNotes notes;
  {
    SqliteWriter writer(path, family.c, VersionFlags{}, notes);
    ASSERT_TRUE(writer.Begin());
    std::vector<const _SYSOBJECTS*> tables;
    for (const auto& t : family.c.userTables) tables.push_back(&t);
    std::vector<_SYSCOLUMNS> parents(family.c.columns.begin(), family.c.columns.begin() + 2);
    std::vector<_SYSCOLUMNS> children(family.c.columns.begin() + 2, family.c.columns.begin() + 6);
    ASSERT_EQ(writer.BeginTable(family.c.userTables[0], parents), path);
    // Code 7 twice: the unique key cannot hold in the copy. Id 1 twice: the
    // second row is refused by the primary key.
    for (auto row :
         {RowValues{Int(1), Int(7)}, RowValues{Int(2), Int(7)}, RowValues{Int(1), Int(8)}}) {
      ASSERT_TRUE(writer.WriteRow(row));
    }
    EXPECT_EQ(writer.EndTable().rows, 2u);
    ASSERT_EQ(writer.BeginTable(family.c.userTables[1], children), path);
    ASSERT_TRUE(
        writer.WriteRow({Int(5), Int(1), Digits("12345678901234567890.1234567"), Float(0.1)}));
    ASSERT_TRUE(writer.WriteRow({Int(6), Value{}, Digits("-0.50"), Float(std::nan(""))}));
    EXPECT_EQ(writer.EndTable().rows, 2u);
    writer.Finish(tables);
  }
  EXPECT_TRUE(notes.failures.empty()) << notes.failures.front();
  ASSERT_EQ(notes.warnings.size(), 2u);
  EXPECT_NE(notes.warnings[0].find("1 rows were refused"), std::string::npos) << notes.warnings[0];
  EXPECT_NE(notes.warnings[1].find("NaN"), std::string::npos) << notes.warnings[1];

  EXPECT_EQ(Query(path, "PRAGMA integrity_check"), std::vector<std::string>{"ok"});
  EXPECT_TRUE(Query(path, "PRAGMA foreign_key_check").empty());
  EXPECT_EQ(Query(path, "SELECT name || ': ' || kind FROM _mendora_constraints ORDER BY name"),
            (std::vector<std::string>{"CK_Pattern: check", "CK_Today: check",
                                      "FK_Elsewhere: foreign key", "UQ_Code: unique key"}));
  const std::string children =
      Query(path, "SELECT sql FROM sqlite_schema WHERE name = 'Children'").at(0);
  EXPECT_NE(children.find("CK_Positive"), std::string::npos) << children;
  EXPECT_NE(children.find("FK_Parent"), std::string::npos) << children;
  EXPECT_EQ(children.find("CK_Pattern"), std::string::npos) << children;
  EXPECT_EQ(children.find("FK_Elsewhere"), std::string::npos) << children;
  // The key that could not be unique is still an index.
  EXPECT_EQ(Query(path, "SELECT sql FROM sqlite_schema WHERE name = 'UQ_Code'"),
            std::vector<std::string>{"CREATE INDEX \"UQ_Code\" ON \"Parents\" (\"Code\")"});
  // Every digit kept as text, the float as a REAL, NaN as its text.
  EXPECT_EQ(
      Query(path,
            "SELECT typeof(Price) || ' ' || Price || ' ' || typeof(Ratio) FROM "
            "Children ORDER BY Id"),
      (std::vector<std::string>{"text 12345678901234567890.1234567 real", "text -0.50 text"}));
  EXPECT_EQ(Query(path, "SELECT original_type FROM _mendora_columns WHERE column_name = 'Price'"),
            std::vector<std::string>{"decimal(38,0)"});
}

// A check is tried on each row as it goes in; a row SQLite refuses (its key
// repeated) is not in the table, so what it breaks does not count: the
// checks are then tried on the table's rows. CK_Small, broken only by the
// refused row, is kept; CK_Large, broken by a row that went in, moves aside.
TEST(SqliteWriter, AChecksFailuresCountOnlyTheRowsThatWentIn) {
  Family family;
  family.Object(u"CK_Small", 13, 10, u"C ");
  family.CheckText(13, u"([Code]<(8))");
  family.Object(u"CK_Large", 14, 10, u"C ");
  family.CheckText(14, u"([Code]>(6))");
  mdftest::TempDir dir;
  const std::string path = dir.path() + "copy.sqlite";
  SaveNotes notes;
  {
    SqliteWriter writer(path, family.c, VersionFlags{}, notes);
    ASSERT_TRUE(writer.Begin());
    ASSERT_EQ(writer.BeginTable(family.c.userTables[0],
                                {family.c.columns.begin(), family.c.columns.begin() + 2}),
              path);
    for (auto row :
         {RowValues{Int(1), Int(7)}, RowValues{Int(2), Int(6)}, RowValues{Int(1), Int(8)}}) {
      ASSERT_TRUE(writer.WriteRow(row));
    }
    EXPECT_EQ(writer.EndTable().rows, 2u);
    writer.Finish({&family.c.userTables[0]});
  }
  EXPECT_TRUE(notes.failures.empty()) << notes.failures.front();
  EXPECT_NE(
      Query(path, "SELECT sql FROM sqlite_schema WHERE name = 'Parents'").at(0).find("CK_Small"),
      std::string::npos);
  EXPECT_TRUE(Query(path, "SELECT name FROM _mendora_constraints WHERE name = 'CK_Small'").empty());
  EXPECT_EQ(Query(path, "SELECT reason FROM _mendora_constraints WHERE name = 'CK_Large'"),
            std::vector<std::string>{"1 rows do not meet it as SQLite reads it"});
}

// A table's deleted rows, given one at a time after its live rows: every
// version of a key kept (no key, no NOT NULL), led by where each was found
// and why, under a name no table of the file has. A stop while a table's
// rows go in leaves nothing of what was under way: not the table, not the
// recovered rows of one whose live rows are in.
TEST(SqliteWriter, DeletedRowsKeepEveryVersionUnderAFreeName) {
  Family family;
  family.Object(u"PARENTS_DELETED", 40, 0, u"U ");
  mdftest::TempDir dir;
  const std::string path = dir.path() + "copy.sqlite";
  std::vector<_SYSCOLUMNS> parents(family.c.columns.begin(), family.c.columns.begin() + 2);
  auto recovered = [](int64_t id, Value code, DeletedWhy why, uint16_t slot) {
    RecoveredRow row;
    row.values = {Int(id), std::move(code)};
    row.at.page = 153;
    row.at.slot = slot;
    row.why = why;
    return row;
  };
  SaveNotes notes;
  {
    SqliteWriter writer(path, family.c, VersionFlags{}, notes);
    ASSERT_TRUE(writer.Begin());
    ASSERT_EQ(writer.BeginTable(family.c.userTables[0], parents), path);
    ASSERT_TRUE(writer.WriteRow({Int(1), Int(7)}));
    EXPECT_TRUE(writer.WriteDeletedRow(recovered(1, Int(6), DeletedWhy::kSuperseded, 2)));
    // The first recovered row ended the live rows.
    EXPECT_FALSE(writer.WriteRow({Int(2), Int(8)}));
    EXPECT_TRUE(writer.WriteDeletedRow(recovered(1, Value{}, DeletedWhy::kGhost, 3)));
    const TableWritten written = writer.EndTable();
    EXPECT_EQ(written.rows, 1u);
    EXPECT_EQ(written.deletedRows, 2u);
    writer.Finish({&family.c.userTables[0]});
  }
  EXPECT_TRUE(notes.failures.empty()) << notes.failures.front();
  EXPECT_EQ(Query(path, "SELECT count(*) FROM Parents"), std::vector<std::string>{"1"});
  EXPECT_EQ(Query(path,
                  "SELECT _found_at || ' ' || _why || ' ' || Id || ' ' || "
                  "ifnull(Code, 'NULL') FROM Parents_deleted_2 ORDER BY _found_at"),
            (std::vector<std::string>{"1:153/2 superseded 1 6", "1:153/3 ghost 1 NULL"}));
  EXPECT_EQ(Query(path, "PRAGMA integrity_check"), std::vector<std::string>{"ok"});

  // Stopped during a table's recovered rows: its live rows stay, whole.
  const std::string cut = dir.path() + "cut.sqlite";
  {
    SqliteWriter writer(cut, family.c, VersionFlags{}, notes);
    ASSERT_TRUE(writer.Begin());
    ASSERT_EQ(writer.BeginTable(family.c.userTables[0], parents), cut);
    ASSERT_TRUE(writer.WriteRow({Int(1), Int(7)}));
    ASSERT_TRUE(writer.WriteRow({Int(2), Int(8)}));
    EXPECT_TRUE(writer.WriteDeletedRow(recovered(3, Int(6), DeletedWhy::kGhost, 2)));
  }
  EXPECT_EQ(Query(cut, "SELECT count(*) FROM Parents"), std::vector<std::string>{"2"});
  EXPECT_TRUE(Query(cut, "SELECT name FROM sqlite_schema WHERE name LIKE '%deleted%'").empty());
  EXPECT_EQ(Query(cut, "PRAGMA integrity_check"), std::vector<std::string>{"ok"});

  // Stopped during the second table: the first stays whole, no half table.
  const std::string stopped = dir.path() + "stopped.sqlite";
  {
    SqliteWriter writer(stopped, family.c, VersionFlags{}, notes);
    ASSERT_TRUE(writer.Begin());
    ASSERT_EQ(writer.BeginTable(family.c.userTables[0], parents), stopped);
    ASSERT_TRUE(writer.WriteRow({Int(1), Int(7)}));
    EXPECT_EQ(writer.EndTable().rows, 1u);
    ASSERT_EQ(writer.BeginTable(family.c.userTables[1],
                                {family.c.columns.begin() + 2, family.c.columns.begin() + 6}),
              stopped);
    ASSERT_TRUE(writer.WriteRow({Int(5), Int(1), Digits("1"), Float(0.5)}));
  }
  EXPECT_EQ(Query(stopped, "SELECT count(*) FROM Parents"), std::vector<std::string>{"1"});
  EXPECT_TRUE(Query(stopped, "SELECT name FROM sqlite_schema WHERE name = 'Children'").empty());
  EXPECT_EQ(Query(stopped, "PRAGMA integrity_check"), std::vector<std::string>{"ok"});
}

}  // namespace
}  // namespace mendora

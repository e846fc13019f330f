// Builds the object tree of a large synthetic catalogue in the in-memory tree
// control and prints the CPU time the build took. The catalogue has 10 000
// tables with 20 columns each, keys, checks, four index rows per table and
// 2 000 modules; columns and index rows are listed out of table order, as a
// file with interleaved pages lists them.
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>

#include "browser/ObjectTree.h"
#include "engine/Utf16.h"
#include "ui/MemoryTreeControl.h"

using namespace mendora;

namespace {

constexpr int kTables = 10000;
constexpr int kColumnsPerTable = 20;
constexpr int kModules = 2000;

std::u16string Name(const char* prefix, int n) {
  std::string s = prefix + std::to_string(n);
  return std::u16string(s.begin(), s.end());
}

Catalogue MakeCatalogue() {
  Catalogue c;
  int64_t nextId = 1000000;
  std::vector<int64_t> tableIds;
  for (int t = 0; t < kTables; ++t) {
    // Names out of order so that sorting the tables has work to do.
    _SYSOBJECTS table{Name("Table_", (t * 7919) % kTables), int64_t(t) * 16 + 100, 0, u"U "};
    c.objects.push_back(table);
    c.userTables.push_back(table);
    tableIds.push_back(table.id);
    c.objects.push_back({Name("PK_", t), nextId++, table.id, u"PK"});
    c.objects.push_back({Name("FK_", t), nextId++, table.id, u"F "});
    c.objects.push_back({Name("CK_", t), nextId++, table.id, u"C "});
    c.objects.push_back({Name("DF_", t), nextId++, table.id, u"D "});
  }
  const char16_t* moduleTypes[] = {u"P ", u"FN", u"TR", u"V ", u"IF"};
  for (int m = 0; m < kModules; ++m) {
    c.objects.push_back({Name("module_", (m * 31) % kModules), nextId++, 0, moduleTypes[m % 5]});
  }
  for (int t = 0; t < kTables; ++t) {
    for (int k = 0; k < kColumnsPerTable; ++k) {
      _SYSCOLUMNS col;
      col.name = Name("col_", k);
      col.tableId = tableIds[t];
      col.xtype = k % 2 ? 231 : 56;
      col.length = k % 2 ? 100 : 4;
      col.colid = int16_t(kColumnsPerTable - k);
      col.status = uint8_t(k % 2);
      c.columns.push_back(col);
    }
    for (uint16_t indid : {1, 1, 2, 3}) {
      _SYSINDEXES row;
      row.tableId = int32_t(tableIds[t]);
      row.indid = row.indid2 = indid;
      row.name = indid == 1 ? Name("PK_", t) : Name("IX_", t * 10 + indid);
      row.status = indid == 1 ? 0x2B : 0x03;
      row.rowCount = uint32_t(t);
      c.indexRows.push_back(row);
    }
  }
  std::mt19937 random(42);
  std::shuffle(c.columns.begin(), c.columns.end(), random);
  std::shuffle(c.indexRows.begin(), c.indexRows.end(), random);
  return c;
}

double CpuSeconds() {
  timespec ts;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

}  // namespace

int main() {
  Catalogue catalogue = MakeCatalogue();
  VersionFlags version = FlagsForVersion(kVersion2008);
  double best = 1e9;
  size_t nodes = 0;
  for (int run = 0; run < 3; ++run) {
    ui::MemoryTreeControl tree;
    ObjectHandleList handles;
    double start = CpuSeconds();
    ResetAndBuildObjectTree(tree, catalogue, version, u"bench.mdf", handles);
    best = std::min(best, CpuSeconds() - start);
    nodes = tree.Count();
  }
  std::printf("tree build: %d tables, %zu columns, %zu index rows, %zu objects -> %zu nodes\n",
              kTables, catalogue.columns.size(), catalogue.indexRows.size(),
              catalogue.objects.size(), nodes);
  std::printf("cpu time (best of 3): %.3f s\n", best);

  // One table with 61 600 index rows (damage can repeat a table's index rows):
  // the build stays linear in them.
  Catalogue crowded;
  _SYSOBJECTS table;
  table.id = 1000;
  table.name = u"Crowded";
  table.type = u"U ";
  crowded.objects.push_back(table);
  crowded.userTables.push_back(table);
  for (int i = 0; i < 61600; ++i) {
    _SYSINDEXES row;
    row.tableId = 1000;
    row.indid = static_cast<uint16_t>(2 + i % 250);
    row.status = 0x01;
    row.name = u"ix" + WidenAscii(std::to_string(i % 250));
    crowded.indexRows.push_back(row);
  }
  ui::MemoryTreeControl tree;
  ObjectHandleList handles;
  const double start = CpuSeconds();
  ResetAndBuildObjectTree(tree, crowded, version, u"crowded.mdf", handles);
  std::printf("tree build: one table, %zu index rows: %.3f s cpu\n", crowded.indexRows.size(),
              CpuSeconds() - start);
  return 0;
}

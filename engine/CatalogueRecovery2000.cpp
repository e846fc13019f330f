#include "engine/CatalogueRecovery2000.h"

#include <unordered_map>
#include <unordered_set>

#include "engine/AllocationMap.h"
#include "engine/ColumnLayouts.h"
#include "engine/PageHeader.h"
#include "engine/SysTables2000.h"
#include "engine/SysTables2005.h"

namespace mendora {
namespace {

std::vector<uint64_t> SystemTablePages2000(const DataFile& file, uint64_t iam, JobControl& job,
                                           uint64_t fallback = 0) {
  return ExpandPages(WalkIAM(file, iam, &job, fallback).entries);
}

// Visits the rows of every page of `pages` that passes the page test: a data
// page of the table, under its 2000 object id or its 2005/2008 one.
template <typename Visit>
void ForEachRow2000(const DataFile& file, const std::vector<uint64_t>& pages,
                    std::pair<uint32_t, uint32_t> objectIds, JobControl& job, Visit visit) {
  PageBuffer page;
  for (uint64_t p : pages) {
    job.Checkpoint();
    file.ReadPage(p, page);
    const std::vector<uint16_t> slots = SlotOffsets(page);
    if (slots.empty()) continue;
    PageHeader h = DecodePageHeader(page);
    bool ours = h.objectId == objectIds.first || h.objectId == objectIds.second;
    if (!ours || h.type != kPageTypeData) continue;
    for (uint16_t at : slots) {
      if (at != 0) visit(Bytes(page), at);
    }
  }
}

}  // namespace

void RecoverCatalogue2000(const DataFile& file, Catalogue& c, JobControl& job,
                         const ProgressFn& progress) {
  std::unordered_set<int64_t> seen;
  auto objectPages = SystemTablePages2000(file, kSysObjectsIam2000, job, kSysObjectsFirstPage2000);
  ForEachRow2000(file, objectPages, {kSysObjects2000, kSysSchObjs}, job,
                 [&](Bytes page, uint16_t at) {
                   auto o = DecodeSysObjects2000(page, at);
                   if (o && seen.insert(o->id).second) c.objects.push_back(std::move(*o));
                 });
  CollectUserTables(c);
  ReportProgress(progress, 1, 4);

  auto tables = UserTableIds(c);
  std::vector<SysColumn2000> columns;
  ForEachRow2000(file, SystemTablePages2000(file, kSysColumnsIam2000, job),
                 {kSysColumns2000, kSysColPars}, job, [&](Bytes page, uint16_t at) {
                   auto col = DecodeSysColumns2000(page, at);
                   if (col && tables.count(col->column.tableId)) columns.push_back(*col);
                 });
  for (const auto& col : columns) c.columns.push_back(col.column);
  ReportProgress(progress, 2, 4);

  std::vector<SysIndex2000> indexes;
  ForEachRow2000(file, SystemTablePages2000(file, kSysIndexesIam2000, job),
                 {kSysIndexes2000, kSysIdxStats}, job, [&](Bytes page, uint16_t at) {
                   if (auto s = DecodeSysIndexes2000(page, at)) indexes.push_back(std::move(*s));
                 });
  // A table's row count stands on its heap or clustered row only; every index
  // row of the table carries it.
  std::unordered_map<int32_t, uint32_t> rowCounts;
  for (const auto& s : indexes) {
    if (s.index.indid <= 1) rowCounts.try_emplace(s.index.tableId, s.rowCount);
  }
  for (auto& s : indexes) {
    auto it = rowCounts.find(s.index.tableId);
    s.index.rowCount = it == rowCounts.end() ? 0 : it->second;
    c.indexRows.push_back(std::move(s.index));
  }
  CollectTableStorage(c);
  c.layouts = LayoutsFrom2000Columns(c, columns);
  ReportProgress(progress, 3, 4);
}

}  // namespace mendora

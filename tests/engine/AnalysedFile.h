// A synthetic data file written to a temporary path, opened, version-tested
// and analysed, for the catalogue recovery tests.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "engine/Analysis.h"
#include "engine/PageHeader.h"
#include "engine/RowCutter.h"
#include "engine/TableReader.h"
#include "tests/support/CatalogueBuilder.h"

namespace analysedtest {

using mendora::Catalogue;

struct AnalysedFile {
  explicit AnalysedFile(const mdftest::MdfBuilder& builder) {
    builder.WriteTo(tmp.path());
    EXPECT_TRUE(file.Open(tmp.path()));
    accepted = file.DetectVersion();
    EXPECT_TRUE(accepted) << "the version test refuses the file";
    mendora::NullJobControl job;
    if (accepted) mendora::RunAnalysis(file, c, job);
  }

  const mendora::_SYSOBJECTS* Object(const std::u16string& name) const {
    auto it = std::find_if(c.objects.begin(), c.objects.end(),
                           [&](const auto& o) { return o.name == name; });
    return it == c.objects.end() ? nullptr : &*it;
  }
  size_t CountObjects(int64_t id) const {
    return std::count_if(c.objects.begin(), c.objects.end(),
                         [&](const auto& o) { return o.id == id; });
  }
  std::vector<mendora::_SYSINDEXES> IndexRowsOf(int32_t tableId) const {
    std::vector<mendora::_SYSINDEXES> out;
    for (const auto& r : c.indexRows) {
      if (r.tableId == tableId) out.push_back(r);
    }
    return out;
  }
  std::optional<mendora::_SYSINDEXES> StorageOf(int32_t tableId) const {
    for (const auto& r : c.tableStorage) {
      if (r.tableId == tableId) return r;
    }
    return std::nullopt;
  }
  std::vector<mendora::_SYSCOLUMNS> ColumnsOf(int64_t tableId) const {
    std::vector<mendora::_SYSCOLUMNS> out;
    for (const auto& col : c.columns) {
      if (col.tableId == tableId) out.push_back(col);
    }
    return out;
  }
  // Bytes of the file as they stand.
  std::string Read(uint64_t offset, size_t length) {
    std::vector<std::byte> bytes(length);
    bytes.resize(file.ReadDirect(offset, bytes));
    return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  }
  // Every row of a table, cut through the catalogue's layout of it: one value
  // per column, nothing for NULL.
  std::vector<mdftest::Row> Rows(int32_t tableId) {
    std::vector<mdftest::Row> rows;
    auto layout = c.layouts.find(tableId);
    EXPECT_NE(layout, c.layouts.end()) << "no layout for table " << tableId;
    if (layout == c.layouts.end()) return rows;
    for (uint64_t page : mendora::TablePages(file, c, tableId)) {
      const mendora::PageBuffer bytes = file.ReadPage(page);
      for (uint16_t at : mendora::SlotOffsets(bytes)) {
        auto cells = mendora::CutRow(bytes, at, layout->second);
        if (!cells) continue;
        mdftest::Row row;
        for (const auto& cell : *cells) {
          if (cell.isNull) {
            row.push_back(std::nullopt);
          } else {
            auto v = cell.Value();
            row.push_back(mdftest::ByteVec(v.begin(), v.end()));
          }
        }
        rows.push_back(std::move(row));
      }
    }
    return rows;
  }

  mdftest::TempFile tmp;
  mendora::DataFile file;
  Catalogue c;
  bool accepted = false;
};

inline std::string VersionName(const ::testing::TestParamInfo<uint16_t>& info) {
  return "v" + std::to_string(info.param);
}

}  // namespace analysedtest

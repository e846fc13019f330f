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
#include "engine/TableReader.h"
#include "engine/TypeCodes.h"
#include "tests/support/CatalogueBuilder.h"

namespace analysedtest {

using mendora::Catalogue;

// Opens the data file at `path` into `file` and analyses it into `c`; false,
// with a test failure, when it cannot be opened or its version is refused.
inline bool OpenAndAnalyse(const std::string& path, mendora::DataFile& file, Catalogue& c) {
  EXPECT_TRUE(file.Open(path));
  const bool accepted = file.DetectVersion();
  EXPECT_TRUE(accepted) << "the version test refuses the file";
  mendora::NullJobControl job;
  if (accepted) mendora::RunAnalysis(file, c, job);
  return accepted;
}

struct AnalysedFile {
  explicit AnalysedFile(const mdftest::MdfBuilder& builder) {
    builder.WriteTo(tmp.path());
    accepted = OpenAndAnalyse(tmp.path(), file, c);
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
  // Every row of a table as the table reader gives it, each value turned
  // back into the bytes the builder stored for it (nothing for NULL), so
  // that a test compares them with the rows it wrote.
  std::vector<mdftest::Row> Rows(int32_t tableId) {
    std::vector<mdftest::Row> rows;
    mendora::TableReader reader(file, c, tableId);
    EXPECT_TRUE(reader.CanRead()) << "table " << tableId << ": " << reader.NotReadReason();
    if (!reader.CanRead()) return rows;
    const auto& columns = reader.Columns();
    mendora::NullJobControl job;
    reader.Read(job, [&](const mendora::RowValues& values) {
      mdftest::Row row;
      for (size_t i = 0; i < values.size(); ++i) row.push_back(StoredBytes(values[i], columns[i]));
      rows.push_back(std::move(row));
      return true;
    });
    return rows;
  }
  // The pages the table reader reads for a table, in its order.
  std::vector<uint64_t> Pages(int64_t tableId) {
    std::vector<uint64_t> pages;
    mendora::NullJobControl job;
    mendora::TableReader(file, c, tableId).CountPageRows(job, [&](uint64_t page, uint32_t) {
      pages.push_back(page);
      return true;
    });
    return pages;
  }

  // The builder's stored form of the value kinds its tests write.
  static mdftest::Value StoredBytes(const mendora::Value& v, const mendora::_SYSCOLUMNS& column) {
    using mendora::ValueKind;
    mdftest::ByteVec out;
    switch (v.kind) {
      case ValueKind::kNull:
        return std::nullopt;
      case ValueKind::kInteger:
      case ValueKind::kBit:
        for (int i = 0; i < (v.kind == ValueKind::kBit ? 1 : column.length); ++i)
          out.push_back(static_cast<std::byte>(static_cast<uint64_t>(v.integer) >> (8 * i)));
        return out;
      case ValueKind::kString:
        for (char16_t ch : v.text) {
          out.push_back(static_cast<std::byte>(ch));
          if (column.xtype == mendora::kXNVarChar || column.xtype == mendora::kXNChar ||
              column.xtype == mendora::kXNText)
            out.push_back(static_cast<std::byte>(ch >> 8));
        }
        return out;
      case ValueKind::kBinary:
      case ValueKind::kGuid:
      case ValueKind::kXml:
        out.insert(out.end(), v.bytes.begin(), v.bytes.end());
        return out;
      default:
        ADD_FAILURE() << "no stored form for value kind " << static_cast<int>(v.kind);
        return out;
    }
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

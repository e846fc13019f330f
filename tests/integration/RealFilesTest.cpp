// The engine's page and record decoders on data files written by SQL Server:
// boot pages against MANIFEST.md, IAM pages, and Northwind rows cut through
// the colid-order layout (their physical order is colid order).
#include <gtest/gtest.h>

#include "engine/BootPage.h"
#include "engine/DataFile.h"
#include "engine/IamPage.h"
#include "engine/PageHeader.h"
#include "engine/Record.h"
#include "engine/RowCutter.h"
#include "engine/Utf16.h"
#include "tests/integration/ManifestTable.h"
#include "tests/support/RealFiles.h"

using namespace mendora;
using namespace mdftest;

namespace {

// The boot-page name without the padding the servers use: U+2020, U+0000 or U+0020.
std::u16string StripPadding(std::u16string name) {
  while (!name.empty() &&
         (name.back() == u'\u2020' || name.back() == u'\0' || name.back() == u' ')) {
    name.pop_back();
  }
  return name;
}

// The manifest's section of one file: from "### name" to the next "### ".
std::string ManifestSection(const std::string& manifest, const std::string& file) {
  size_t from = manifest.find("### " + file + "\n");
  if (from == std::string::npos) return "";
  size_t to = manifest.find("\n### ", from + 1);
  return manifest.substr(from, to == std::string::npos ? std::string::npos : to - from);
}

uint64_t Le(Bytes b) {
  uint64_t v = 0;
  for (size_t i = 0; i < b.size() && i < 8; ++i)
    v |= uint64_t{static_cast<uint8_t>(b[i])} << (8 * i);
  return v;
}

std::u16string Utf16Of(Bytes b) {
  std::u16string s;
  for (size_t i = 0; i + 1 < b.size(); i += 2) {
    s.push_back(
        static_cast<char16_t>(static_cast<uint8_t>(b[i]) | (static_cast<uint8_t>(b[i + 1]) << 8)));
  }
  return s;
}

_SYSCOLUMNS Col(uint8_t xtype, int16_t length, int16_t colid) {
  _SYSCOLUMNS c;
  c.xtype = xtype;
  c.length = length;
  c.colid = colid;
  return c;
}

// Every row of every data page of the file that `match` accepts, cut through `layout`.
template <typename Match>
std::vector<std::vector<CellValue>> FindRows(DataFile& file, const ColumnLayout& layout,
                                             Match match, std::vector<PageBuffer>& keep) {
  std::vector<std::vector<CellValue>> rows;
  keep.reserve(file.PageCount());
  for (uint64_t n = 0; n < file.PageCount(); ++n) {
    keep.push_back(file.ReadPage(n));
    const PageBuffer& page = keep.back();
    if (DecodePageHeader(page).type != kPageTypeData) {
      keep.pop_back();
      continue;
    }
    const auto slots = SlotOffsets(page);
    for (uint16_t slot : slots) {
      auto cells = CutRow(page, slot, layout);
      if (cells && cells->size() == layout.columns.size() && match(*cells)) rows.push_back(*cells);
    }
  }
  return rows;
}

const char* const kNorthwinds[] = {"v539-northwind.mdf", "v611-northwind.mdf", "v655-northwind.mdf",
                                   "v655-northwind-native.mdf"};

}  // namespace

TEST(RealBootPage, VersionNameAndPageCountAreTheManifests) {
  const auto files = RealMdfFiles();
  const auto manifest = ManifestFirstTable(RealManifest());
  for (const auto& name : files) {
    SCOPED_TRACE(name);
    DataFile file;
    ASSERT_TRUE(file.Open(RealMdf(name)));
    BootPage boot = DecodeBootPage(file.ReadPage(kBootPage));
    EXPECT_EQ(boot.version, std::stoi(ManifestCell(manifest, name, "on-disk version")));
    EXPECT_EQ(ToUtf8(StripPadding(boot.name)),
              ManifestCell(manifest, name, "database name on the boot page"));
    EXPECT_EQ(FromUtf8(ManifestCell(manifest, name, "database name on the boot page")),
              StripPadding(boot.name));
    file.DetectVersion();
    EXPECT_EQ(file.PageCount(), std::stoull(ManifestCell(manifest, name, "pages")));
  }
}

TEST(RealIamPages, EveryIamPageHasItsBitmapInsideItsRecord) {
  int pages = 0;
  for (const auto& name : RealMdfFiles()) {
    SCOPED_TRACE(name);
    DataFile file;
    ASSERT_TRUE(file.Open(RealMdf(name)));
    file.DetectVersion();
    for (uint64_t n = 0; n < file.PageCount(); ++n) {
      const PageBuffer page = file.ReadPage(n);
      const auto slots = SlotOffsets(page);
      if (DecodePageHeader(page).type != kPageTypeIam || slots.size() != 2) continue;
      ++pages;
      IamPage iam = DecodeIamPage(page, slots.back());
      // The server's bitmap record: a 4-byte header and 7988 bytes of bitmap.
      EXPECT_EQ(iam.extentBitmap.size(), 7988u) << "page " << n;
      EXPECT_EQ(iam.extentBitmap.data(), page.data() + slots.back() + 4) << "page " << n;
      EXPECT_EQ(iam.startPage, 0u) << "page " << n << ": a single-file database's first interval";
    }
  }
  EXPECT_GT(pages, 0);
}

TEST(RealIamPages, SysobjectsOfThe2000FilesStartsAtPageEightInIamPageTen) {
  for (const auto& name : {"v539-model.mdf", "v539-northwind.mdf", "v539-pubs.mdf"}) {
    SCOPED_TRACE(name);
    DataFile file;
    ASSERT_TRUE(file.Open(RealMdf(name)));
    const PageBuffer page = file.ReadPage(10);
    const auto slots = SlotOffsets(page);
    ASSERT_EQ(slots.size(), 2u);
    IamPage iam = DecodeIamPage(page, slots.back());
    EXPECT_EQ(iam.singlePages[0], 8u);
  }
}

TEST(RealRowsColidLayout, NorthwindProductsChaiWithItsTwoByteNullBitmapAndBitColumn) {
  // ProductID int, ProductName nvarchar(80), SupplierID int, CategoryID int,
  // QuantityPerUnit nvarchar(40), UnitPrice money, UnitsInStock, UnitsOnOrder,
  // ReorderLevel smallint, Discontinued bit: ten columns, so column 9 and 10
  // are in the bitmap's second byte.
  std::vector<_SYSCOLUMNS> products = {
      Col(56, 4, 1), Col(231, 80, 2), Col(56, 4, 3), Col(56, 4, 4), Col(231, 40, 5),
      Col(60, 8, 6), Col(52, 2, 7),   Col(52, 2, 8), Col(52, 2, 9), Col(104, 1, 10)};
  auto layout = DefaultLayout(products);
  const std::string manifest = RealManifest();
  for (const auto& name : kNorthwinds) {
    SCOPED_TRACE(name);
    ASSERT_NE(
        ManifestSection(manifest, name)
            .find(
                R"(row: `[1, "Chai", 1, 1, "10 boxes x 20 bags", "money:18.0000", 39, 0, 10, false]`)"),
        std::string::npos)
        << "MANIFEST.md gives another first row of Products";
    DataFile file;
    ASSERT_TRUE(file.Open(RealMdf(name)));
    ASSERT_TRUE(file.DetectVersion());
    std::vector<PageBuffer> keep;
    auto rows = FindRows(
        file, layout,
        [](const std::vector<CellValue>& c) {
          return !c[1].isNull && Utf16Of(c[1].Value()) == u"Chai";
        },
        keep);
    ASSERT_FALSE(rows.empty()) << "no Chai row found";
    for (const auto& c : rows) {
      for (const auto& cell : c) EXPECT_FALSE(cell.isNull);
      EXPECT_EQ(Le(c[0].Value()), 1u);
      EXPECT_EQ(Le(c[2].Value()), 1u);
      EXPECT_EQ(Le(c[3].Value()), 1u);
      EXPECT_EQ(Utf16Of(c[4].Value()), u"10 boxes x 20 bags");
      EXPECT_EQ(Le(c[5].Value()), 180000u) << "money 18.0000";
      EXPECT_EQ(Le(c[6].Value()), 39u);
      EXPECT_EQ(Le(c[7].Value()), 0u);
      EXPECT_EQ(Le(c[8].Value()), 10u);
      EXPECT_TRUE(c[9].isBit);
      EXPECT_EQ(static_cast<int>(c[9].Value()[0]), 0);
    }
  }
}

TEST(RealRowsColidLayout, NorthwindSuppliersWithNullsAndOmittedTrailingColumns) {
  // SupplierID int, then ten nvarchar columns and HomePage ntext.
  std::vector<_SYSCOLUMNS> suppliers = {Col(56, 4, 1)};
  const int16_t lengths[] = {80, 60, 60, 120, 30, 30, 20, 30, 48, 48};
  for (int16_t i = 0; i < 10; ++i)
    suppliers.push_back(Col(231, lengths[i], static_cast<int16_t>(i + 2)));
  suppliers.push_back(Col(99, 16, 12));
  auto layout = DefaultLayout(suppliers);
  const std::string manifest = RealManifest();
  for (const auto& name : kNorthwinds) {
    SCOPED_TRACE(name);
    ASSERT_NE(
        ManifestSection(manifest, name)
            .find(
                R"(row: `[1, "Exotic Liquids", "Charlotte Cooper", "Purchasing Manager", "49 Gilbert St.", "London", null, "EC1 4SD", "UK", "(171) 555-2222", null, null]`)"),
        std::string::npos)
        << "MANIFEST.md gives another first row of Suppliers";
    DataFile file;
    ASSERT_TRUE(file.Open(RealMdf(name)));
    ASSERT_TRUE(file.DetectVersion());
    std::vector<PageBuffer> keep;
    auto rows = FindRows(
        file, layout,
        [](const std::vector<CellValue>& c) {
          return !c[1].isNull && Utf16Of(c[1].Value()) == u"Exotic Liquids";
        },
        keep);
    ASSERT_FALSE(rows.empty()) << "no Exotic Liquids row found";
    for (const auto& c : rows) {
      EXPECT_EQ(Le(c[0].Value()), 1u);
      EXPECT_EQ(Utf16Of(c[2].Value()), u"Charlotte Cooper");
      EXPECT_EQ(Utf16Of(c[3].Value()), u"Purchasing Manager");
      EXPECT_EQ(Utf16Of(c[4].Value()), u"49 Gilbert St.");
      EXPECT_EQ(Utf16Of(c[5].Value()), u"London");
      EXPECT_TRUE(c[6].isNull) << "Region";
      EXPECT_EQ(Utf16Of(c[7].Value()), u"EC1 4SD");
      EXPECT_EQ(Utf16Of(c[8].Value()), u"UK");
      EXPECT_EQ(Utf16Of(c[9].Value()), u"(171) 555-2222");
      EXPECT_TRUE(c[10].isNull) << "Fax";
      EXPECT_TRUE(c[11].isNull) << "HomePage";
    }
  }
}

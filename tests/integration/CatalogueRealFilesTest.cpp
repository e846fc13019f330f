// The catalogue recovered from every real data file against what MANIFEST.md
// records of it.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "engine/Analysis.h"
#include "engine/CodePage.h"
#include "engine/Utf16.h"
#include "tests/integration/ReferenceFiles.h"
#include "tests/support/Manifest.h"
#include "tests/support/RealFiles.h"

using namespace mendora;
using namespace mdftest;

namespace {

std::string U8(const std::u16string& s) {
  return ToUtf8(s);
}

std::string ReadText(DataFile& file, uint64_t offset, uint16_t length) {
  std::vector<std::byte> bytes(length);
  size_t got = file.ReadDirect(offset, bytes);
  bytes.resize(got);
  return ToUtf8(FromCodePage(bytes));
}

const char* TypeCode(const std::string& kind) {
  if (kind == "primary key") return "PK";
  if (kind == "unique key") return "UQ";
  if (kind == "foreign key") return "F ";
  if (kind == "check") return "C ";
  return "";
}

class RealCatalogue : public ::testing::TestWithParam<std::string> {};

TEST(RealCatalogueFolder, EverySupportedFileInTheManifestIsPresent) {
  auto manifest = ReadManifest();
  auto files = RealMdfFiles();
  size_t supported = 0;
  for (const auto& [name, m] : manifest) {
    EXPECT_TRUE(std::find(files.begin(), files.end(), name) != files.end()) << name;
    supported += !m.refused;
  }
  EXPECT_GE(supported, 20u);
}

TEST_P(RealCatalogue, MatchesTheManifest) {
  auto manifest = ReadManifest();
  ASSERT_TRUE(manifest.count(GetParam())) << GetParam();
  const ManifestFile& m = manifest.at(GetParam());

  DataFile file;
  ASSERT_TRUE(file.Open(RealMdf(GetParam())));
  // The files of releases after 2008 are read too; the manifest describes
  // only those of 2000 to 2008, the reference tests check the others.
  const std::vector<std::string> readable = ReferenceFiles();
  bool supported = file.DetectVersion();
  ASSERT_EQ(supported, std::count(readable.begin(), readable.end(), GetParam()) == 1);
  if (m.refused) return;
  ASSERT_EQ(file.Version().Number(), m.version);
  Catalogue c;
  mendora::NullJobControl job;
  RunAnalysis(file, c, job);

  std::string expectedName = m.databaseName;
  std::replace(expectedName.begin(), expectedName.end(), ' ', '_');
  EXPECT_EQ(U8(c.databaseName), expectedName);

  std::map<std::string, const _SYSOBJECTS*> tables;
  for (const auto& t : c.userTables) tables[U8(t.name)] = &t;
  EXPECT_EQ(c.userTables.size(), m.tables.size());
  for (const auto& t : m.tables) {
    SCOPED_TRACE(t.name);
    ASSERT_TRUE(tables.count(t.name));
    int64_t id = tables[t.name]->id;
    auto columns = std::count_if(c.columns.begin(), c.columns.end(),
                                 [&](const _SYSCOLUMNS& col) { return col.tableId == id; });
    EXPECT_EQ(columns, t.columnCount);
    auto storage = std::find_if(c.tableStorage.begin(), c.tableStorage.end(),
                                [&](const _SYSINDEXES& s) { return s.tableId == id; });
    ASSERT_NE(storage, c.tableStorage.end());
    EXPECT_EQ(storage->rowCount, t.rowCount);
    EXPECT_LE(storage->indid, 1);
  }

  for (const auto& k : m.keys) {
    if (k.kind == "index") continue;
    SCOPED_TRACE(k.kind + " " + k.name);
    auto o = std::find_if(c.objects.begin(), c.objects.end(), [&](const _SYSOBJECTS& o) {
      return U8(o.name) == k.name && U8(o.type) == TypeCode(k.kind);
    });
    ASSERT_NE(o, c.objects.end());
    ASSERT_TRUE(tables.count(k.table));
    EXPECT_EQ(o->parentId, tables[k.table]->id) << "the key belongs to its table";
    if (k.kind == "check") {
      auto t = std::find_if(c.checkTexts.begin(), c.checkTexts.end(),
                            [&](const _Check_Constraints& x) { return x.objectId == o->id; });
      ASSERT_NE(t, c.checkTexts.end());
      EXPECT_EQ(U8(t->text), k.text);
      // An in-row 2005/2008 text also says where it lies in the file.
      if (t->textLength) {
        EXPECT_EQ(ReadText(file, t->textOffset, t->textLength), k.text);
      }
    }
  }

  for (const auto& mod : m.modules) {
    SCOPED_TRACE("module " + mod.name);
    auto o = std::find_if(c.objects.begin(), c.objects.end(), [&](const _SYSOBJECTS& o) {
      return U8(o.name) == mod.name && U8(o.type).substr(0, mod.type.size()) == mod.type;
    });
    ASSERT_NE(o, c.objects.end());
    auto t = std::find_if(c.moduleTexts.begin(), c.moduleTexts.end(),
                          [&](const _Procedures& x) { return x.objectId == o->id; });
    ASSERT_NE(t, c.moduleTexts.end());
    EXPECT_EQ(t->text.size(), mod.characters);
    std::string text = U8(t->text);
    // Long lines are cut in the manifest: "…(N chars)" ends the part it gives.
    std::string line = mod.firstLine.substr(0, mod.firstLine.find("\u2026"));
    EXPECT_NE(text.find(line), std::string::npos) << text.substr(0, 80);
  }
}

std::vector<std::string> AllFiles() {
  try {
    return RealMdfFiles();
  } catch (const std::exception&) {
    return {"missing-folder"};  // makes the test fail with the reason below
  }
}

INSTANTIATE_TEST_SUITE_P(Files, RealCatalogue, ::testing::ValuesIn(AllFiles()),
                         [](const auto& info) {
                           std::string n = info.param;
                           for (char& ch : n) {
                             if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           }
                           return n;
                         });

}  // namespace

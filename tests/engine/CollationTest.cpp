// Text in every code page: the collation id of a column gives its code page
// and its name; char, varchar and text values, sql_variant strings and module
// texts are read as the server reads them. The expected characters come from
// the published code page tables, not from the reader.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "browser/ObjectTree.h"
#include "engine/CodePage.h"
#include "engine/Collation.h"
#include "engine/Utf16.h"
#include "sql/Statements.h"
#include "tests/engine/AnalysedFile.h"
#include "tests/support/CatalogueBuilder.h"

using namespace mendora;
using analysedtest::AnalysedFile;
using mdftest::CatalogueBuilder;

namespace {

std::span<const std::byte> Bytes(const std::string& s) {
  return std::as_bytes(std::span(s.data(), s.size()));
}

struct Sample {
  uint16_t codePage;
  std::string bytes;
  std::u16string text;
};

// One word per code page family, with the collation id of a column that
// holds it.
struct FamilySample {
  uint32_t collation;
  const char* name;
  Sample sample;
};

const std::vector<FamilySample>& Families() {
  static const std::vector<FamilySample> families = {
      {0x0000D010, "Japanese_CI_AS", {932, "\x83\x65\x83\x58\x83\x67", u"\u30C6\u30B9\u30C8"}},
      {0x0000D024, "Chinese_PRC_CI_AS", {936, "\xD6\xD0\xCE\xC4", u"\u4E2D\u6587"}},
      {0x0000D011, "Korean_Wansung_CI_AS", {949, "\xC7\xD1\xB1\xDB", u"\uD55C\uAE00"}},
      {0x0000D003, "Chinese_Taiwan_Stroke_CI_AS", {950, "\xA4\x70\xA9\xFA", u"\u5C0F\u660E"}},
      {0x0000D019, "Thai_CI_AS", {874, "\xA1\xD2", u"\u0E01\u0E32"}},
      {0x0000D004, "Czech_CI_AS", {1250, "\x8A\xE8", u"\u0160\u010D"}},
      {0x0000D015, "Cyrillic_General_CI_AS", {1251, "\xC0\xFF", u"\u0410\u044F"}},
      {0x0000D007, "Greek_CI_AS", {1253, "\xC1\xF9", u"\u0391\u03C9"}},
      {0x0000D01A, "Turkish_CI_AS", {1254, "\xD0\xFD", u"\u011E\u0131"}},
      {0x0000D00C, "Hebrew_CI_AS", {1255, "\xE0\xFA", u"\u05D0\u05EA"}},
      {0x0000D001, "Arabic_CI_AS", {1256, "\xC7\xE1", u"\u0627\u0644"}},
      {0x0000D01D, "Estonian_CI_AS", {1257, "\xC0\xFE", u"\u0104\u017E"}},
      {0x0000D020, "Vietnamese_CI_AS", {1258, "\xC3\xF0", u"\u0102\u0111"}},
      {0x0004D188,
       "Latin1_General_100_CI_AS_SC_UTF8",
       {65001, "\xE4\xB8\xAD\xC3\xA9", u"\u4E2D\u00E9"}},
      {0x3400D008, "SQL_Latin1_General_CP1_CI_AS", {1252, "caf\xE9 \x80", u"caf\u00E9 \u20AC"}},
      {0x2000D008, "SQL_Latin1_General_CP437_CI_AS", {437, "\x82\xB0", u"\u00E9\u2591"}},
      {0xC600D024, "Chinese_PRC_BIN", {936, "\xD6\xD0", u"\u4E2D"}},
  };
  return families;
}

TEST(CodePage, EachFamilyReadsAsItsPublishedTable) {
  for (const auto& f : Families()) {
    const CollationInfo info = DescribeCollation(f.collation);
    EXPECT_TRUE(info.known) << f.name;
    EXPECT_EQ(info.codePage, f.sample.codePage) << f.name;
    EXPECT_EQ(CollationName(f.collation), f.name);
    std::u16string text = u"<";
    EXPECT_TRUE(AppendFromCodePage(Bytes(f.sample.bytes), info.codePage, text)) << f.name;
    EXPECT_EQ(text, u"<" + f.sample.text) << f.name;
  }
}

TEST(CodePage, BytesOutsideTheCodePageBecomeReplacementCharacters) {
  std::u16string text;
  // A Big5 lead byte at the end of the value, then one with a trail byte no
  // table defines: each is one U+FFFD, and the bytes around them stay.
  EXPECT_FALSE(AppendFromCodePage(Bytes("\xA4\x70"
                                        "a\xA4"),
                                  950, text));
  EXPECT_EQ(text, u"\u5C0Fa\uFFFD");
  text.clear();
  EXPECT_FALSE(AppendFromCodePage(Bytes("x\x81\x20y"), 936, text));
  EXPECT_EQ(text.front(), u'x');
  EXPECT_EQ(text.back(), u'y');
  EXPECT_NE(text.find(u'\uFFFD'), std::u16string::npos);
  text.clear();
  EXPECT_FALSE(AppendFromCodePage(Bytes("\xC3"), 65001, text));
  EXPECT_EQ(text, u"\uFFFD");
  // The five bytes 1252 leaves undefined read as the C1 controls, as Windows
  // reads them, and are no damage.
  text.clear();
  EXPECT_TRUE(AppendFromCodePage(Bytes("\x81\x8D\x8F\x90\x9D"), 1252, text));
  EXPECT_EQ(text, u"\u0081\u008D\u008F\u0090\u009D");
}

TEST(Collation, FlagsGenerationsAndUnknownIdsAreNamed) {
  EXPECT_EQ(CollationName(0x0000D008), "Latin1_General_CI_AS");
  EXPECT_EQ(CollationName(0x0000F008), "Latin1_General_CI_AI");
  EXPECT_EQ(CollationName(0x00001008), "Latin1_General_CI_AS_KS_WS");
  EXPECT_EQ(CollationName(0x00010008), "Latin1_General_BIN");
  EXPECT_EQ(CollationName(0x00040808), "Latin1_General_100_BIN2");
  EXPECT_EQ(CollationName(0x00068103), "Chinese_Taiwan_Stroke_140_CS_AS_KS_SC");
  EXPECT_EQ(CollationName(0x0002D010), "Japanese_90_CI_AS");
  EXPECT_EQ(CollationName(0x0002D030), "Japanese_90_CI_AS");  // the family is already _90
  EXPECT_EQ(CollationName(0), "");
  // A family this reader does not know reads as 1252 and is said to be unknown;
  // a SQL sort id without a SQL_ name keeps its code page.
  EXPECT_FALSE(DescribeCollation(0x0000D07F).known);
  EXPECT_EQ(DescribeCollation(0x0000D07F).codePage, 1252);
  EXPECT_EQ(CollationName(0xC000D024), "Japanese_BIN");
  EXPECT_FALSE(DescribeCollation(0xFE00D008).known);
}

// A 2005/2008 table with a varchar column of each family and a 2000 table
// whose columns take the database default: every value reads as its code
// page says, the table script names every collation, and the tree label
// names a collation only where it differs from the database default.
TEST(CodePage, BuilderMadeColumnsOfEveryFamilyReadAsTheServerWould) {
  for (const uint16_t version : {uint16_t{611}, uint16_t{655}, uint16_t{539}}) {
    SCOPED_TRACE(version);
    CatalogueBuilder cat(version, u"Pages");
    cat.SetDatabaseCollation(0x0000D024);
    std::vector<mdftest::ColumnDef> columns;
    mdftest::Row row;
    for (const auto& f : Families()) {
      auto column = mdftest::VarCharColumn(WidenAscii(f.name), 40);
      column.collation = version == 539 ? 0 : f.collation;
      columns.push_back(column);
      row.push_back(mdftest::VarCharValue(f.sample.bytes));
    }
    auto broken = mdftest::VarCharColumn(u"Broken", 10);
    broken.collation = version == 539 ? 0 : 0x0000D003;
    columns.push_back(broken);
    row.push_back(mdftest::VarCharValue("\xA4\x70\xFF\x30"));
    const int32_t id = cat.AddTable(u"Words", columns, {row});
    AnalysedFile file(cat.Build());
    ASSERT_EQ(file.c.databaseCollation, 0x0000D024u);

    TableReader reader(file.file, file.c, id);
    std::vector<RowValues> rows;
    NullJobControl job;
    reader.Read(job, [&](const RowValues& r) {
      rows.push_back(r);
      return true;
    });
    ASSERT_EQ(rows.size(), 1u);
    uint64_t wrongBytes = 1;  // the Broken column
    for (size_t i = 0; i < Families().size(); ++i) {
      const auto& f = Families()[i];
      if (version == 539) {
        // No collation stored with the column: the database default (936).
        std::u16string expected;
        if (!AppendFromCodePage(Bytes(f.sample.bytes), 936, expected)) ++wrongBytes;
        EXPECT_EQ(rows[0][i].text, expected) << f.name;
      } else {
        EXPECT_EQ(rows[0][i].text, f.sample.text) << f.name;
        EXPECT_FALSE(rows[0][i].codePageError) << f.name;
      }
    }
    // 0xFF leads no character in Big5 or GBK; nothing around it is lost.
    const mendora::Value& wrong = rows[0].back();
    EXPECT_TRUE(wrong.codePageError);
    if (version != 539) {
      EXPECT_EQ(wrong.text, u"\u5C0F\uFFFD0");
    }
    EXPECT_NE(wrong.text.find(u'\uFFFD'), std::u16string::npos);
    EXPECT_EQ(wrong.text.back(), u'0');
    EXPECT_EQ(reader.Stats().codePageErrors, wrongBytes);
    EXPECT_EQ(reader.Stats().unreadableCells, 0u);

    // The tree names a collation only where it is not the database's.
    const auto stored = file.ColumnsOf(id);
    ASSERT_EQ(stored.size(), columns.size());
    EXPECT_EQ(ToUtf8(ColumnLabel(stored[1], file.c.databaseCollation)),
              "Chinese_PRC_CI_AS(varchar(40),Null)");
    if (version != 539) {
      EXPECT_EQ(ToUtf8(ColumnLabel(stored[3], file.c.databaseCollation)),
                "Chinese_Taiwan_Stroke_CI_AS(varchar(40),Null,Chinese_Taiwan_Stroke_CI_AS)");
    }

    const std::string script = ToUtf8(TableDefinitionStatement(file.c, id, u"Words"));
    if (version == 539) {
      EXPECT_NE(script.find("[Japanese_CI_AS] varchar(40) Collate Chinese_PRC_CI_AS Null"),
                std::string::npos)
          << script;
    } else {
      for (const auto& f : Families()) {
        EXPECT_NE(script.find(std::string("] varchar(40) Collate ") + f.name + " Null"),
                  std::string::npos)
            << f.name;
      }
    }
  }
}

// The --code-page choice: every 8-bit column read in another code page, for
// bytes a client stored in another code page than the collation's.
TEST(CodePage, AChosenCodePageReplacesTheCollations) {
  CatalogueBuilder cat(539, u"pubs");
  cat.SetDatabaseCollation(0x0000D024);
  const int32_t id = cat.AddTable(u"publishers", {mdftest::VarCharColumn(u"city", 20)},
                                  {{mdftest::VarCharValue("M\xFCnchen")}});
  AnalysedFile file(cat.Build());
  auto read = [&] {
    TableReader reader(file.file, file.c, id);
    std::u16string text;
    NullJobControl job;
    reader.Read(job, [&](const RowValues& r) {
      text = r[0].text;
      return true;
    });
    return text;
  };
  EXPECT_EQ(read(), u"M\u9EF1chen");  // as the server reads the 936 bytes
  UseCodePage(file.c, 1252);
  EXPECT_EQ(read(), u"M\u00FCnchen");
}

// Module texts of 2005 and later: one byte per character, or UTF-16LE where
// a character needs it, as the sysobjvalues row's flag says.
TEST(CodePage, ModuleTextsReadByTheirStoredForm) {
  CatalogueBuilder cat(611, u"Rent");
  const std::u16string chinese = u"CREATE PROCEDURE p AS -- \u5C0F\u660E\r\nSELECT 1";
  const std::u16string plain = u"CREATE VIEW v AS SELECT 'caf\u00E9' AS c";
  const int32_t p = cat.AddModule("P ", u"p", chinese);
  const int32_t v = cat.AddModule("V ", u"v", plain);
  AnalysedFile file(cat.Build());
  std::u16string gotP, gotV;
  for (const auto& m : file.c.moduleTexts) {
    if (m.objectId == static_cast<uint32_t>(p)) gotP = m.text;
    if (m.objectId == static_cast<uint32_t>(v)) gotV = m.text;
  }
  EXPECT_EQ(gotP, chinese);
  EXPECT_EQ(gotV, plain);
}

}  // namespace

// The database name from the boot page's 128-unit name field: the cut rules
// for each kind of padding the server writes, and names that fill the field.
#include <gtest/gtest.h>

#include "engine/Analysis.h"
#include "engine/BootPage.h"
#include "tests/support/MdfBuilder.h"

using namespace mendora;
using namespace mdftest;

namespace {

std::u16string Field(const std::u16string& name, char16_t pad) {
  std::u16string f = name;
  f.resize(128, pad);
  return f;
}

std::u16string Underscored(std::u16string s) {
  for (auto& c : s) {
    if (c == u' ') c = u'_';
  }
  return s;
}

// Names of real files that fill more than half the field (76 units) or all of it.
const std::u16string kSubSonic =
    u"D:\\PROJECTS\\APRESS\\BOOK1\\CHAPTER 08\\SUBSONICSTARTER\\APP_DATA\\SUBSONICCMS.MDF";
const std::u16string kAspNetContents =
    u"606B726C88E289CA19B54D2CCFDB6337_ASP.NET\\PRO ASP.NET\\SOURCE CODE\\18 - WEBSITE "
    u"DEPLOYMENT\\VIRTUALPATH\\APP_DATA\\ASPNETCONTENTS.MDF";

struct NameCase {
  const char* label;
  std::u16string field;
  std::u16string expected;
};

class CutDatabaseNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(CutDatabaseNameTest, GivesTheNameWithoutItsPadding) {
  EXPECT_EQ(CutDatabaseName(GetParam().field), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Padding, CutDatabaseNameTest,
    ::testing::Values(
        NameCase{"FourLettersAndSpaces", Field(u"pubs", u' '), u"pubs"},
        // The four-blank rule is tried at even positions only: an odd-length
        // name keeps one blank, made "_".
        NameCase{"ThreeLettersAndSpaces", Field(u"abc", u' '), u"abc_"},
        NameCase{"DaggerPaddingEvenLength", Field(u"Shop", u'\u2020'), u"Shop"},
        NameCase{"DaggerPaddingOddLength", Field(u"model", u'\u2020'), u"model"},
        NameCase{"ZeroPadding", Field(u"model", u'\0'), u"model"},
        NameCase{"BlankInsideTheName", Field(u"My Shop", u'\u2020'), u"My_Shop"},
        NameCase{"SixtyFourLettersThenZeros", Field(std::u16string(64, u'N'), u'\0'),
                 std::u16string(64, u'N')},
        NameCase{"SixtyFourLettersThenDaggers", Field(std::u16string(64, u'N'), u'\u2020'),
                 std::u16string(64, u'N')},
        NameCase{"SeventySixUnits", Field(kSubSonic, u'\u2020'), Underscored(kSubSonic)},
        NameCase{"AllHundredTwentyEightUnits", kAspNetContents, Underscored(kAspNetContents)},
        NameCase{"ChineseKeptAsUtf16", Field(u"會員", u'\u2020'), u"會員"}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(BootPageNameTest, TheWholeFieldOfTheBootPageIsCut) {
  for (uint16_t version : {539, 611, 655}) {
    MdfBuilder b(version, u"");
    b.SetRawName(kAspNetContents);
    TempFile f;
    b.WriteTo(f.path());
    DataFile file;
    ASSERT_TRUE(file.Open(f.path()));
    ASSERT_TRUE(file.DetectVersion());
    EXPECT_EQ(CutDatabaseName(ReadBootPage(file).name), Underscored(kAspNetContents)) << version;
  }
}

}  // namespace

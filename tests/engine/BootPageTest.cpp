// The boot page: version, database name, first system-table page.
#include <gtest/gtest.h>

#include "engine/BootPage.h"
#include "engine/DataFile.h"
#include "tests/engine/RecordBytes.h"
#include "tests/support/MdfBuilder.h"

using namespace mendora;
using namespace recordtest;
using mdftest::MdfBuilder;
using mdftest::PaddedName;
using mdftest::TempFile;

namespace {

BootPage BootOf(const MdfBuilder& b) {
  TempFile f;
  b.WriteTo(f.path());
  DataFile file;
  EXPECT_TRUE(file.Open(f.path()));
  const auto& page = file.ReadPage(kBootPage);
  // An exact-size copy, so that a read past the page shows under AddressSanitizer.
  std::vector<std::byte> exact(page.begin(), page.end());
  return DecodeBootPage(exact);
}

}  // namespace

TEST(BootPageTest, VersionNameAndFirstSystemPage) {
  for (uint16_t version : {uint16_t{539}, uint16_t{611}, uint16_t{655}, uint16_t{661}}) {
    MdfBuilder b(version, u"Northwind");
    b.SetFirstSysPage(0x12345);
    BootPage boot = BootOf(b);
    EXPECT_EQ(boot.version, version);
    EXPECT_EQ(boot.name, PaddedName(u"Northwind"));
    EXPECT_EQ(boot.name.size(), kBootNameUnits);
    EXPECT_EQ(boot.firstSysPage, 0x12345u);
  }
}

TEST(BootPageTest, TheNameHasAllOneHundredTwentyEightUnits) {
  // Longer than 64 units and not padded at all, as in v655-aspnetcontents.mdf;
  // the units after the 64th and their high bytes matter.
  std::u16string name;
  for (int i = 0; i < 128; ++i) name.push_back(static_cast<char16_t>(0x4E00 + i));
  MdfBuilder b(655, u"");
  b.SetRawName(name);
  BootPage boot = BootOf(b);
  EXPECT_EQ(boot.name, name);

  MdfBuilder cjk(655, u"");
  cjk.SetRawName(u"\u6703\u54E1");  // 會員, the rest of the field zero
  boot = BootOf(cjk);
  ASSERT_EQ(boot.name.size(), kBootNameUnits);
  EXPECT_EQ(boot.name.substr(0, 2), u"\u6703\u54E1");
  EXPECT_EQ(boot.name.find_first_not_of(u'\0', 2), std::u16string::npos);
}

TEST(BootPageTest, FieldsPastAShortSpanReadAsNothing) {
  MdfBuilder b(611, u"pubs");
  b.SetFirstSysPage(99);
  auto file = b.Build();
  std::vector<std::byte> page(file.begin() + 9 * 8192, file.begin() + 10 * 8192);

  auto prefix = [&](size_t size) {
    std::vector<std::byte> exact(page.begin(), page.begin() + static_cast<std::ptrdiff_t>(size));
    return DecodeBootPage(exact);
  };
  BootPage none = prefix(101);  // the version's second byte is missing
  EXPECT_EQ(none.version, 0);
  EXPECT_TRUE(none.name.empty());
  EXPECT_EQ(none.firstSysPage, 0u);

  BootPage versionOnly = prefix(148);
  EXPECT_EQ(versionOnly.version, 611);
  EXPECT_TRUE(versionOnly.name.empty());

  BootPage someName = prefix(148 + 9);  // four whole units and half of the fifth
  EXPECT_EQ(someName.name, u"pubs");
  EXPECT_EQ(someName.firstSysPage, 0u);

  BootPage upToThePointer = prefix(615);
  EXPECT_EQ(upToThePointer.name, PaddedName(u"pubs"));
  EXPECT_EQ(upToThePointer.firstSysPage, 0u) << "the pointer's last byte is missing";
  EXPECT_EQ(prefix(616).firstSysPage, 99u);
  EXPECT_EQ(DecodeBootPage({}).version, 0);
}

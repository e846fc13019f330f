// A file past the first PFS interval: a page beyond page 8088 is told
// allocated or free by the PFS page at 8088, not by page 1.
#include <gtest/gtest.h>

#include "tests/engine/AnalysedFile.h"

using namespace mendora;
using namespace mdftest;
using analysedtest::AnalysedFile;

namespace {

class PfsInterval : public ::testing::TestWithParam<uint16_t> {};

TEST_P(PfsInterval, SystemPagesOfTheSecondIntervalFollowTheirOwnPfsPage) {
  CatalogueBuilder cat(GetParam(), u"db");
  TableOptions onePerPage;
  onePerPage.rowsPerPage = 1;
  const uint64_t rows = 8150;
  int32_t big = cat.AddGeneratedTable(
      u"Big", {IntColumn(u"id")}, rows,
      [](uint64_t i) { return Row{IntValue(static_cast<int32_t>(i))}; }, onePerPage);
  cat.AddModule("P ", u"usp_Big", "CREATE PROCEDURE usp_Big AS SELECT id FROM Big");
  MdfBuilder mdf = cat.Build();
  ASSERT_GT(cat.SystemPages(kObjSysSchObjs).front(), mdftest::kPfsInterval)
      << "the catalogue lies in the second interval";
  EXPECT_EQ(mdf.Page(mdftest::kPfsInterval).Header().type, 11)
      << "no data on the interval's PFS page";

  // Two more object pages, each with a twin in the first interval (the page
  // that the same PFS byte offset describes there) of the other state.
  const uint32_t freePage = mdf.PageCount();
  const uint32_t usedPage = freePage + 1;
  auto objectPage = [&](uint32_t number, const std::u16string& name, bool allocated) {
    auto& page = mdf.Page(number);
    page.Header().objectId = kObjSysSchObjs;
    page.AddRecord(Encode(SysSchObjsRow{static_cast<int32_t>(number), name, "U ", 0, 0}));
    CatalogueBuilder::SetAllocated(mdf, number, allocated);
    CatalogueBuilder::SetAllocated(mdf, number - mdftest::kPfsInterval, !allocated);
  };
  objectPage(freePage, u"OnAFreePage", false);
  objectPage(usedPage, u"OnAnAllocatedPage", true);

  AnalysedFile f(mdf);
  EXPECT_EQ(f.Object(u"OnAFreePage"), nullptr);
  EXPECT_NE(f.Object(u"OnAnAllocatedPage"), nullptr);
  EXPECT_NE(f.Object(u"usp_Big"), nullptr);
  ASSERT_EQ(f.c.moduleTexts.size(), 1u);
  // The twin of the allocated object page is one of Big's pages, marked free
  // above: the table reader leaves it out, and reads every other page.
  EXPECT_EQ(f.Pages(big).size(), rows - 1);
}

INSTANTIATE_TEST_SUITE_P(Versions, PfsInterval, ::testing::Values(611, 655),
                         analysedtest::VersionName);

}  // namespace

// The synthetic-file builder against the on-disk format as the real files show
// it (mdf/FORMAT-NOTES.md), independently of the engine's decoders: a fault
// in a row layout here would otherwise be mirrored by the tests that use it.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "tests/support/CatalogueBuilder.h"

using namespace mdftest;

namespace {

unsigned At8(const ByteVec& b, size_t i) {
  return static_cast<unsigned>(b.at(i));
}
unsigned At16(const ByteVec& b, size_t i) {
  return At8(b, i) | At8(b, i + 1) << 8;
}
uint32_t At32(const ByteVec& b, size_t i) {
  return At16(b, i) | uint32_t(At16(b, i + 2)) << 16;
}
std::string Chars(const ByteVec& b, size_t i, size_t n) {
  std::string s;
  for (size_t k = 0; k < n; ++k) s.push_back(static_cast<char>(b.at(i + k)));
  return s;
}

TEST(SystemRowLayouts, SysSchObjs) {
  ByteVec r = Encode(SysSchObjsRow{0x11223344, u"AB", "U ", 0x55667788, 0});
  EXPECT_EQ(At32(r, 0), 0x002C0030u);
  EXPECT_EQ(At32(r, 4), 0x11223344u);
  EXPECT_EQ(Chars(r, 17, 2), "U ");
  EXPECT_EQ(At32(r, 19), 0x55667788u);
  EXPECT_EQ(At16(r, 50), 56u);
  EXPECT_EQ(Chars(r, 52, 4), std::string("A\0B\0", 4));
  EXPECT_EQ(r.size(), 56u);
}

TEST(SystemRowLayouts, SysColPars) {
  ByteVec one = Encode(SysColParsRow{77, 3, u"qty", 52, 2, 5, 0, 1});
  EXPECT_EQ(At32(one, 0), 0x002D0030u);
  EXPECT_EQ(At32(one, 4), 77u);
  EXPECT_EQ(At16(one, 10), 3u);
  EXPECT_EQ(At8(one, 14), 52u);
  EXPECT_EQ(At16(one, 19), 2u);
  EXPECT_EQ(At8(one, 21), 5u);
  EXPECT_EQ(At8(one, 27), 1u);
  EXPECT_EQ(At16(one, 49), 1u);
  EXPECT_EQ(At16(one, 51), 59u);
  EXPECT_EQ(Chars(one, 53, 2), std::string("q\0", 2));
  SysColParsRow twoVars{77, 3, u"qty", 52, 2, 5, 0, 1, true};
  ByteVec two = Encode(twoVars);
  EXPECT_EQ(At16(two, 49), 2u);
  EXPECT_EQ(At16(two, 51), 61u);
  EXPECT_EQ(Chars(two, 55, 2), std::string("q\0", 2));
}

TEST(SystemRowLayouts, SysObjects2000ParentAt28) {
  ByteVec r = Encode(SysObjectsRow{0x0A0B0C0D, "PK", 0x01020304, u"PK_x"});
  EXPECT_EQ(At32(r, 0), 0x002A0030u);
  EXPECT_EQ(Chars(r, 8, 2), "PK");
  EXPECT_EQ(At32(r, 28), 0x01020304u);
  EXPECT_NE(At32(r, 19), 0x01020304u);
  EXPECT_EQ(At16(r, 42), 24u);
}

TEST(SystemRowLayouts, SysColumns2000) {
  ByteVec r = Encode(SysColumnsRow{5, u"c", 167, 1, 20, 0, 0, 4, -2, 0});
  EXPECT_EQ(At32(r, 0), 0x002E0030u);
  EXPECT_EQ(At8(r, 8), 167u);
  EXPECT_EQ(At8(r, 9), 1u);
  EXPECT_EQ(At16(r, 12), 20u);
  EXPECT_EQ(At16(r, 16), 4u);
  EXPECT_EQ(static_cast<int16_t>(At16(r, 18)), -2);
}

TEST(SystemRowLayouts, SysIdxStatsNameOrNoVariablePart) {
  ByteVec named = Encode(SysIdxStatsRow{9, 2, 0x03, u"IX", 0});
  EXPECT_EQ(At16(named, 45), 51u);
  EXPECT_EQ(Chars(named, 47, 2), std::string("I\0", 2));
  EXPECT_EQ(At8(named, 12), 0x03u);
  ByteVec heap = Encode(SysIdxStatsRow{9, 0, 0, u"", 0});
  EXPECT_EQ(At8(heap, 0), 0x10u);
  EXPECT_EQ(heap.size(), 39u + 2 + 2);
}

TEST(SystemRowLayouts, SysObjValuesText) {
  ByteVec r = Encode(SysObjValuesRow{0x44, "([a]>(0))"});
  EXPECT_EQ(At8(r, 0), 0x30u);
  EXPECT_EQ(At32(r, 5), 0x44u);
  EXPECT_EQ(At8(r, 26), 0x38u);
  EXPECT_EQ(At8(r, 27), 0x01u);
  EXPECT_EQ(At16(r, 24), 32u + 9);
  EXPECT_EQ(Chars(r, 32, 9), "([a]>(0))");
}

TEST(SystemRowLayouts, RowsetsAndAllocationUnits) {
  ByteVec rowset = Encode(SysRowsetsRow{PartitionStyleId(0x1234), 99, 1, 42});
  EXPECT_EQ(At32(rowset, 6), 0x1234u);
  EXPECT_EQ(At16(rowset, 10), 0x0100u);
  EXPECT_EQ(At32(rowset, 13), 99u);
  EXPECT_EQ(At32(rowset, 17), 1u);
  EXPECT_EQ(At32(rowset, 31), 42u);
  ByteVec unit =
      Encode(SysAllocUnitsRow{PartitionStyleId(0x5678), 2, PartitionStyleId(0x1234), 30, 31, 32});
  EXPECT_EQ(At32(unit, 6), 0x5678u);
  EXPECT_EQ(At8(unit, 12), 2u);
  EXPECT_EQ(At32(unit, 15), 0x1234u);
  EXPECT_EQ(At16(unit, 19), 0x0100u);
  EXPECT_EQ(At32(unit, 27), 30u);
  EXPECT_EQ(At32(unit, 39), 32u);
}

TEST(PageHelpers, IamPageSlotsAndBitmap) {
  auto page = IamPageFor(20, 7, 256, 64, {17, 0, 19}, {64, 80});
  auto bytes = page.Build();
  ByteVec b(bytes.begin(), bytes.end());
  EXPECT_EQ(At8(b, 1), 10u);
  EXPECT_EQ(At32(b, 24), 7u);
  EXPECT_EQ(At16(b, 6), 256u);
  EXPECT_EQ(At32(b, 136), 64u);
  EXPECT_EQ(At32(b, 142), 17u);
  EXPECT_EQ(At32(b, 148), 0u);
  EXPECT_EQ(At32(b, 154), 19u);
  uint16_t bitmapRecord = static_cast<uint16_t>(At16(b, 8188));
  EXPECT_EQ(bitmapRecord, 190u);
  EXPECT_EQ(At8(b, bitmapRecord + 4), 0x05u) << "extents 0 and 2 of the interval";
}

TEST(PageHelpers, PfsBytesFollowTheRecordHeader) {
  auto bytes = PfsPageFor(1, {0x40, 0x00, 0x60}).Build();
  ByteVec b(bytes.begin(), bytes.end());
  EXPECT_EQ(At8(b, 1), 11u);
  EXPECT_EQ(At8(b, 100), 0x40u);
  EXPECT_EQ(At8(b, 101), 0x00u);
  EXPECT_EQ(At8(b, 102), 0x60u);
}

ByteVec ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<char> c{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  ByteVec out(c.size());
  std::transform(c.begin(), c.end(), out.begin(),
                 [](char ch) { return static_cast<std::byte>(ch); });
  return out;
}

// The streamed file and the one built in memory are the same bytes.
TEST(CatalogueBuilderFile, StreamingWritesTheSameFileAsBuildingInMemory) {
  for (uint16_t version : {539, 611, 655}) {
    CatalogueBuilder cat(version, u"db");
    TableOptions few;
    few.rowsPerPage = 7;
    int32_t t = cat.AddGeneratedTable(
        u"T", {IntColumn(u"id"), NVarCharColumn(u"n", 8)}, 100,
        [](uint64_t i) {
          return Row{IntValue(static_cast<int32_t>(i)), i % 2 ? NVarCharValue(u"odd") : kNull};
        },
        few);
    cat.AddKey(t, u"PK_T", "PK", {1}, true);
    cat.AddModule("V ", u"vT", "CREATE VIEW vT AS SELECT id FROM T");
    TempFile streamed, built;
    cat.WriteTo(streamed.path());
    cat.Build().WriteTo(built.path());
    ByteVec a = ReadAll(streamed.path()), b = ReadAll(built.path());
    EXPECT_EQ(a.size(), cat.PageCount() * 8192) << version;
    EXPECT_TRUE(a == b) << version;
    EXPECT_EQ(cat.Table(t).dataPages.size(), 15u) << version;
  }
}

}  // namespace

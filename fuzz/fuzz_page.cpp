// One page of any bytes through every decoder that reads a page: the header,
// the slot array and record bounds, records and rows, each system-table row,
// IAM, PFS and boot pages, and the large-value record shapes.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "engine/BootPage.h"
#include "engine/IamPage.h"
#include "engine/PageHeader.h"
#include "engine/PfsPage.h"
#include "engine/Record.h"
#include "engine/RowCutter.h"
#include "engine/SysTables2000.h"
#include "engine/SysTables2005.h"
#include "engine/TypeCodes.h"

using namespace mendora;

namespace {

// Columns of many kinds, so that rows are cut through fixed, bit and
// variable places; the first bytes of the input choose their lengths.
ColumnLayout LayoutFrom(const uint8_t* data, size_t size) {
  std::vector<_SYSCOLUMNS> columns;
  const uint8_t types[] = {kXInt, kXBit, kXVarChar, kXChar, kXNText, kXBit, kXBigInt, kXVarBinary};
  for (size_t i = 0; i < sizeof types; ++i) {
    _SYSCOLUMNS c;
    c.xtype = types[i];
    c.colid = static_cast<int16_t>(i + 1);
    c.length = static_cast<int16_t>(i < size ? data[i] % 40 : 4);
    columns.push_back(c);
  }
  return DefaultLayout(columns);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  PageBuffer page{};
  std::memcpy(page.data(), data, std::min(size, page.size()));
  RepairTornPage(page);
  (void)DecodePageHeader(page);
  const std::vector<uint16_t> slots = SlotOffsets(page);
  const RecordLimits limits(slots);
  const ColumnLayout layout = LayoutFrom(data, size);
  for (uint16_t at : slots) {
    if (at == 0) continue;
    const Bytes bounded = limits.Bound(page, at);
    if (auto r = ParseRecord(bounded, at)) (void)CutRow(*r, layout);
    (void)DecodeSysObjects2000(bounded, at);
    (void)DecodeSysColumns2000(bounded, at);
    (void)DecodeSysIndexes2000(bounded, at);
    (void)DecodeSysSchObjs(bounded, at);
    (void)DecodeSysColPars(bounded, at);
    (void)DecodeSysRowsets(bounded, at);
    (void)DecodeSysAllocUnits(bounded, at);
    (void)DecodeSysIdxStats(bounded, at);
    (void)DecodeSysIsCols(bounded, at);
    (void)DecodeSysSingleObjRefs(bounded, at);
    (void)DecodeSysObjValues(bounded, at);
    (void)DecodeSysRscols(bounded, at);
    (void)DecodeSysHobtColumns(bounded, at);
    (void)DecodeSysRowsetColumns(bounded, at);
  }
  (void)DecodeIamPage(page, slots.empty() ? 0 : slots.back());
  (void)DecodePfsPage(page, 1);
  (void)DecodeBootPage(page);
  return 0;
}

#include "engine/IamPage.h"

#include "engine/PageLayout.h"

namespace mendora {

IamPage DecodeIamPage(Bytes page, uint16_t lastSlotOffset) {
  ByteReader r(page);
  IamPage iam;
  iam.startPage = r.u32(kIamStartPage).value_or(0);
  iam.startFile = r.u16(kIamStartPage + 4).value_or(0);
  for (size_t i = 0; i < kIamSingleSlots; ++i) {
    iam.singlePages[i] = r.u32(kIamSinglePages + kIamSingleSlotSize * i).value_or(0);
    iam.singleFiles[i] = r.u16(kIamSinglePages + kIamSingleSlotSize * i + 4).value_or(0);
  }
  if (lastSlotOffset >= kPageHeaderSize && r.Has(lastSlotOffset, 4)) {
    size_t from = lastSlotOffset + 4u;
    size_t to = page.size();
    // The bitmap record's fixed part ends where its header says; a header that
    // says less than the page holds narrows the bitmap, never widens it.
    // A header whose fixed part ends inside the header is damaged: no bitmap.
    uint16_t fixedEnd = *r.u16(lastSlotOffset + 2u);
    if (fixedEnd < 4) return iam;
    if (lastSlotOffset + size_t{fixedEnd} < to) to = lastSlotOffset + size_t{fixedEnd};
    iam.extentBitmap = page.subspan(from, to - from);
  }
  return iam;
}

}  // namespace mendora

#include "engine/FileHeaderPage.h"

#include <algorithm>

#include "engine/PageHeader.h"
#include "engine/Record.h"
#include "engine/Utf16.h"

namespace mendora {

std::optional<FileHeaderPage> DecodeFileHeaderPage(Bytes page) {
  if (DecodePageHeader(page).type != kPageTypeFileHeader) return std::nullopt;
  const std::vector<uint16_t> slots = SlotOffsets(page);
  if (slots.empty() || slots[0] == 0) return std::nullopt;
  const std::optional<Record> record = ParseRecord(page, slots[0]);
  if (!record) return std::nullopt;
  const Bytes binding = record->Variable(kFileHeaderBindingId);
  const ByteReader fileId(record->Variable(kFileHeaderFileId));
  const ByteReader filegroup(record->Variable(kFileHeaderFilegroup));
  FileHeaderPage header;
  if (binding.size() != header.bindingId.size() || !fileId.u16(0)) return std::nullopt;
  std::copy(binding.begin(), binding.end(), header.bindingId.begin());
  header.fileId = *fileId.u16(0);
  header.filegroup = filegroup.u16(0).value_or(0);
  header.logicalName = Utf16FromBytes(record->Variable(kFileHeaderLogicalName));
  return header;
}

}  // namespace mendora

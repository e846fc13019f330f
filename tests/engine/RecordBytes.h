// Helpers for the record and row tests: records written byte by byte into heap
// buffers of exactly the page size (or less), so that AddressSanitizer reports
// any read past the buffer, and checks that every span a decoder hands back
// lies inside that buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "engine/ByteReader.h"
#include "engine/CatalogueRecords.h"
#include "engine/PageLayout.h"
#include "engine/Record.h"
#include "engine/RowCutter.h"
#include "tests/support/MdfBuilder.h"
#include "tests/support/TypeCodeNames.h"

namespace recordtest {

using mdftest::ByteVec;
using mendora::Bytes;

// Bytes written out by hand, so a test does not depend on the record builder.
inline ByteVec Raw(std::initializer_list<int> values) {
  ByteVec out;
  for (int v : values) out.push_back(static_cast<std::byte>(v));
  return out;
}

// A zero page of exactly `size` bytes with `record` at offset `at`; the record
// is cut where the buffer ends.
inline std::vector<std::byte> PageWith(const ByteVec& record, size_t at,
                                       size_t size = mendora::kPageSize) {
  std::vector<std::byte> page(size);
  for (size_t i = 0; i < record.size() && at + i < size; ++i) page[at + i] = record[i];
  return page;
}

inline void Put16(std::vector<std::byte>& page, size_t at, uint16_t v) {
  page[at] = static_cast<std::byte>(v & 0xFF);
  page[at + 1] = static_cast<std::byte>(v >> 8);
}

inline bool Inside(Bytes part, const std::vector<std::byte>& buffer) {
  if (part.empty()) return true;
  auto from = reinterpret_cast<uintptr_t>(buffer.data());
  auto p = reinterpret_cast<uintptr_t>(part.data());
  return p >= from && p + part.size() <= from + buffer.size();
}

// Every span of the record lies inside the buffer it was decoded from.
inline bool RecordInside(const mendora::Record& r, const std::vector<std::byte>& buffer) {
  if (r.start + r.bytes.size() > buffer.size()) return false;
  if (!Inside(r.bytes, buffer) || !Inside(r.nullBitmap, buffer)) return false;
  for (size_t i = 0; i < r.varEnds.size(); ++i) {
    if (!Inside(r.Variable(i), buffer)) return false;
  }
  auto fixed = r.Fixed(4, r.fixedEnd - 4u);
  return !fixed || Inside(*fixed, buffer);
}

inline bool CellsInside(const std::vector<mendora::CellValue>& cells,
                        const std::vector<std::byte>& buffer) {
  for (const auto& c : cells) {
    if (!c.isBit && !Inside(c.bytes, buffer)) return false;
  }
  return true;
}

inline uint64_t Le(Bytes b) {
  uint64_t v = 0;
  for (size_t i = 0; i < b.size() && i < 8; ++i)
    v |= uint64_t{static_cast<uint8_t>(b[i])} << (8 * i);
  return v;
}

inline std::string Text(Bytes b) {
  std::string s;
  for (std::byte c : b) s.push_back(static_cast<char>(c));
  return s;
}

inline ByteVec ToVec(Bytes b) {
  return ByteVec(b.begin(), b.end());
}

inline mendora::_SYSCOLUMNS Col(uint8_t xtype, int16_t length) {
  mendora::_SYSCOLUMNS c;
  c.xtype = xtype;
  c.length = length;
  return c;
}

// Column type codes (syscolumns.xtype) used by the tests.
namespace xt = mdftest::xtype;

// Numbers the columns 1, 2, ... in the order given.
inline std::vector<mendora::_SYSCOLUMNS> Table(std::initializer_list<mendora::_SYSCOLUMNS> cols) {
  std::vector<mendora::_SYSCOLUMNS> out(cols);
  for (size_t i = 0; i < out.size(); ++i) out[i].colid = static_cast<int16_t>(i + 1);
  return out;
}

// The row of the record at `at` of `page`, read as the table readers read it:
// the record parsed, then cut.
inline std::optional<std::vector<mendora::CellValue>> CutRow(Bytes page, size_t at,
                                                             const mendora::ColumnLayout& layout) {
  auto record = mendora::ParseRecord(page, at);
  if (!record) return std::nullopt;
  return mendora::CutRow(*record, layout);
}

}  // namespace recordtest

#include "engine/LobReader.h"

#include <algorithm>

#include "engine/PageHeader.h"
#include "engine/Record.h"

namespace mendora {
namespace {

constexpr size_t kTextPointerSize = 16;
constexpr size_t kTextPointerPage = 8;
constexpr size_t kTextPointerFile = 12;
constexpr size_t kTextPointerSlot = 14;

constexpr size_t kRootLinks = 12;  // in-row root and row-overflow pointer
constexpr size_t kLinkSize = 12;
constexpr size_t kWideLinkSize = 16;

constexpr size_t kFragmentLength = 2;
constexpr size_t kFragmentType = 12;
constexpr size_t kSmallRootLength = 14;
constexpr size_t kSmallRootData = 20;
constexpr size_t kDataStart = 14;
constexpr size_t kLargeRootCount = 16;
constexpr size_t kLargeRootLinks = 24;
constexpr size_t kInternalCount = 16;
constexpr size_t kInternalLinks = 20;

enum : uint16_t {
  kSmallRoot = 0,
  kInternal = 2,
  kData = 3,
  kLargeRootOld = 4,
  kLargeRoot = 5,
  kNullRoot = 8,
};

// Deeper trees than this are not written by the server; a deeper walk is a loop.
constexpr int kMaxDepth = 16;
// Pages kept while one table is read; large values rarely share more.
constexpr size_t kCachedPages = 64;
// A value larger than this (2 GiB, the largest a column holds) is damage.
constexpr size_t kMaxValueBytes = size_t{1} << 31;

}  // namespace

bool LobReader::Fail(const char* why) {
  if (error_.empty()) error_ = why;
  return false;
}

const PageBuffer* LobReader::Page(uint64_t page) {
  if (auto it = cache_.find(page); it != cache_.end()) return it->second.get();
  if (cache_.size() >= kCachedPages) cache_.clear();
  auto buffer = std::make_unique<PageBuffer>();
  file_.ReadPage(page, *buffer);
  return cache_.emplace(page, std::move(buffer)).first->second.get();
}

bool LobReader::Read(Bytes pointer, bool textPointer, std::vector<std::byte>& out,
                     std::string& error) {
  out.clear();
  visited_.clear();
  error_.clear();
  const ByteReader r(pointer);
  bool ok = false;
  if (textPointer) {
    if (pointer.size() != kTextPointerSize) {
      ok = Fail("text pointer of the wrong size");
    } else {
      ok = ReadFragment(
          {PageKey(*r.u32(kTextPointerPage), *r.u16(kTextPointerFile)), *r.u16(kTextPointerSlot)},
          0, out);
    }
  } else if (pointer.size() < kRootLinks || (pointer.size() - kRootLinks) % kLinkSize != 0) {
    ok = Fail("large-value root of the wrong size");
  } else {
    ok = ReadLinks(ByteReader(pointer.subspan(kRootLinks)),
                   (pointer.size() - kRootLinks) / kLinkSize, kLinkSize, 0, out);
  }
  if (!ok) {
    out.clear();
    error = error_;
  }
  return ok;
}

bool LobReader::ReadLinks(const ByteReader& stored, size_t count, size_t linkSize, int depth,
                          std::vector<std::byte>& out) {
  // The links are copied first: following them reads other pages, and the
  // page cache may let go of the page they stand on.
  const auto bytes = stored.Slice(0, std::min(stored.size(), count * linkSize));
  if (!bytes) return Fail("link outside its record");
  const std::vector<std::byte> copy(bytes->begin(), bytes->end());
  const ByteReader links(copy);
  const size_t base = out.size();
  uint64_t previousEnd = 0;
  std::vector<std::byte> piece;
  for (size_t i = 0; i < count; ++i) {
    const size_t at = i * linkSize;
    const size_t endSize = linkSize - 8;  // u32 or u64
    if (!links.Has(at, linkSize)) return Fail("link outside its record");
    const uint64_t end = endSize == 8 ? *links.u64(at) : *links.u32(at);
    const uint64_t page = PageKey(*links.u32(at + endSize), *links.u16(at + endSize + 4));
    const uint16_t slot = *links.u16(at + endSize + 6);
    if (end < previousEnd || end > kMaxValueBytes) return Fail("link lengths out of order");
    piece.clear();
    if (!ReadFragment({page, slot}, depth + 1, piece)) return false;
    const uint64_t length = end - previousEnd;
    if (piece.size() < length) return Fail("large-value fragment shorter than its link says");
    out.insert(out.end(), piece.begin(), piece.begin() + static_cast<ptrdiff_t>(length));
    previousEnd = end;
  }
  if (out.size() - base != previousEnd) return Fail("large-value length mismatch");
  return true;
}

bool LobReader::ReadFragment(Rid rid, int depth, std::vector<std::byte>& out) {
  if (depth > kMaxDepth) return Fail("large-value tree too deep");
  if (PageNumberOf(rid.page) == 0 || !file_.HasPage(rid.page))
    return Fail("large-value pointer past the end of the file");
  const uint64_t key = (rid.page << 16) | rid.slot;
  if (!visited_.insert(key).second) return Fail("large-value chain loops");

  const PageBuffer& page = *Page(rid.page);
  const PageHeader h = DecodePageHeader(page);
  if (h.type != kPageTypeText && h.type != kPageTypeTextTree)
    return Fail("large-value pointer to a page that holds no large values");
  if (!units_.empty() &&
      std::find(units_.begin(), units_.end(), UnitKey{h.objectId, h.indexId}) == units_.end()) {
    return Fail("large-value pointer to a page of another table");
  }
  const std::vector<uint16_t> slots = SlotOffsets(page);
  if (rid.slot >= slots.size() || slots[rid.slot] < kPageHeaderSize) {
    return Fail("large-value pointer to an empty slot");
  }
  const size_t at = slots[rid.slot];
  const ByteReader whole(page);
  const auto status = whole.u8(at);
  const auto length = whole.u16(at + kFragmentLength);
  if (!status || (*status & kStatusTypeMask) != kRecordBlobFragment || !length ||
      !whole.Has(at, *length) || *length < kDataStart) {
    return Fail("damaged large-value record");
  }
  const ByteReader rec(Bytes(page).subspan(at, *length));
  switch (*rec.u16(kFragmentType)) {
    case kSmallRoot: {
      const auto size = rec.u16(kSmallRootLength);
      const auto data = size ? rec.Slice(kSmallRootData, *size) : std::nullopt;
      if (!data) return Fail("small large-value root longer than its record");
      out.insert(out.end(), data->begin(), data->end());
      return true;
    }
    case kData: {
      const auto data = rec.Slice(kDataStart, *length - kDataStart);
      out.insert(out.end(), data->begin(), data->end());
      if (out.size() > kMaxValueBytes) return Fail("large value too long");
      return true;
    }
    case kLargeRootOld:
    case kLargeRoot: {
      const auto count = rec.u16(kLargeRootCount);
      if (!count || !rec.Has(kLargeRootLinks, size_t{*count} * kLinkSize)) {
        return Fail("large-value root with links outside its record");
      }
      return ReadLinks(ByteReader(rec.bytes().subspan(kLargeRootLinks)), *count, kLinkSize, depth,
                       out);
    }
    case kInternal: {
      const auto count = rec.u16(kInternalCount);
      if (!count || !rec.Has(kInternalLinks, size_t{*count} * kWideLinkSize)) {
        return Fail("large-value node with links outside its record");
      }
      return ReadLinks(ByteReader(rec.bytes().subspan(kInternalLinks)), *count, kWideLinkSize,
                       depth, out);
    }
    case kNullRoot:
      return true;
    default:
      return Fail("unknown large-value record type");
  }
}

}  // namespace mendora

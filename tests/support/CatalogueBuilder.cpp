#include "tests/support/CatalogueBuilder.h"

#include <algorithm>
#include <memory>
#include <set>
#include <stdexcept>
#include <tuple>

namespace mdftest {

// ------------------------------------------------------------ columns, values

ColumnDef IntColumn(const std::u16string& name, bool notNull) {
  return {name, xtype::kInt, 4, notNull, 10, 0};
}
ColumnDef BigIntColumn(const std::u16string& name) {
  return {name, xtype::kBigInt, 8, false, 19, 0};
}
ColumnDef CharColumn(const std::u16string& name, int16_t length) {
  return {name, xtype::kChar, length};
}
ColumnDef VarCharColumn(const std::u16string& name, int16_t length) {
  return {name, xtype::kVarChar, length};
}
ColumnDef NVarCharColumn(const std::u16string& name, int16_t characters) {
  return {name, xtype::kNVarChar, static_cast<int16_t>(2 * characters)};
}
ColumnDef BitColumn(const std::u16string& name) {
  return {name, xtype::kBit, 1, false, 1, 0};
}
ColumnDef NTextColumn(const std::u16string& name) {
  return {name, xtype::kNText, 16};
}
ColumnDef TextColumn(const std::u16string& name) {
  return {name, xtype::kText, 16};
}
ColumnDef ImageColumn(const std::u16string& name) {
  return {name, xtype::kImage, 16};
}
ColumnDef VarBinaryColumn(const std::u16string& name, int16_t length) {
  return {name, xtype::kVarBinary, length};
}
ColumnDef MaxColumn(const std::u16string& name, uint8_t type) {
  return {name, type, -1};
}

Value IntValue(int32_t v) {
  return U32(static_cast<uint32_t>(v));
}
Value BigIntValue(int64_t v) {
  return U64(static_cast<uint64_t>(v));
}
Value CharValue(const std::string& s, size_t length) {
  std::string padded = s.substr(0, length);
  padded.resize(length, ' ');
  return Ascii(padded);
}
Value VarCharValue(const std::string& s) {
  return Ascii(s);
}
Value NVarCharValue(const std::u16string& s) {
  return Utf16(s);
}
Value BitValue(bool v) {
  return U8(v ? 1 : 0);
}
Value TextPointerValue(uint32_t page, uint16_t slot) {
  return Concat({U64(0x0000000100000000ull | page), U32(page), U16(1), U16(slot)});
}

namespace {

// Marks a large-value request among a row's values. It is never written to a
// file: the builder replaces it with the pointer it lays out.
const ByteVec& LargeValueMarker() {
  static const ByteVec marker = Ascii(
      "\x7F"
      "mdftest large value request"
      "\x7F");
  return marker;
}

struct LargeRequest {
  LobShape shape = LobShape::kSmallRoot;
  size_t fragmentBytes = 0;
  ByteVec data;
};

std::optional<LargeRequest> AsLargeRequest(const ByteVec& v) {
  const ByteVec& m = LargeValueMarker();
  if (v.size() < m.size() + 5 || !std::equal(m.begin(), m.end(), v.begin())) return std::nullopt;
  LargeRequest r;
  r.shape = static_cast<LobShape>(v[m.size()]);
  for (size_t k = 0; k < 4; ++k) {
    r.fragmentBytes |= static_cast<size_t>(v[m.size() + 1 + k]) << (8 * k);
  }
  r.data.assign(v.begin() + static_cast<ptrdiff_t>(m.size() + 5), v.end());
  return r;
}

}  // namespace

Value LargeValue(const ByteVec& data, LobShape shape, size_t fragmentBytes) {
  return Concat({LargeValueMarker(), U8(static_cast<uint8_t>(shape)),
                 U32(static_cast<uint32_t>(fragmentBytes)), data});
}

Value OffRowBytes(const ByteVec& pointer) {
  return LargeValue(pointer, LobShape::kAsGiven);
}

namespace {

bool IsVariable(const ColumnDef& c) {
  switch (c.xtype) {
    case xtype::kImage:
    case xtype::kText:
    case 98:  // sql_variant
    case xtype::kNText:
    case xtype::kVarBinary:
    case xtype::kVarChar:
    case xtype::kNVarChar:
    case 241:  // xml
      return true;
    default:
      return c.length < 0;
  }
}

bool IsLargeObject(const ColumnDef& c) {
  return c.xtype == xtype::kImage || c.xtype == xtype::kText || c.xtype == xtype::kNText;
}

constexpr size_t kBackPointerSize = 10;
constexpr uint16_t kTextIndexId2000 = 255;  // header index id of a 2000 table's text/image pages
constexpr uint16_t kUserIndexId = 0x0100;   // header index id of user units: their id's bits 48..63
constexpr uint32_t kSysObjectsIam = 10, kSysIndexesIam = 13, kSysColumnsIam = 26;
constexpr uint32_t kSysObjectsFirst = 8;
// sysindexes status bits of 2000 files.
constexpr uint32_t kIndexUnique2000 = 0x02;
constexpr uint32_t kIndexClustered2000 = 0x10;
// sysindexes.keys marks on the columns a nonclustered index carries along:
// 1, or 3 for a column that is also one of the index's own keys.
constexpr uint8_t kCarried = 1;
constexpr uint8_t kCarriedOwnKey = 3;
// The most characters a syscomments row holds: 8000 bytes of ctext.
constexpr size_t kCommentBytes = 8000;

// Single-byte text as UTF-16 units, byte for unit (the texts tests write are
// ASCII, where Windows-1252 and UTF-16 agree).
std::u16string Widen(const std::string& s) {
  std::u16string out;
  for (unsigned char ch : s) out.push_back(ch);
  return out;
}

// Windows-1252's 0x80..0x9F, the range where it departs from Latin-1;
// 0 where the code page leaves the byte undefined.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// A UTF-16 text in Windows-1252, one byte per character.
ByteVec Cp1252(const std::u16string& s) {
  ByteVec out;
  for (char16_t ch : s) {
    int byte = -1;
    if (ch < 0x80 || (ch >= 0xA0 && ch <= 0xFF)) {
      byte = ch;
    } else {
      for (int k = 0; k < 32; ++k) {
        if (kCp1252High[k] == ch && ch != 0) byte = 0x80 + k;
      }
    }
    if (byte < 0) throw std::logic_error("a character Windows-1252 does not have");
    out.push_back(std::byte{static_cast<uint8_t>(byte)});
  }
  return out;
}

// A text as the single bytes 2005/2008 sysobjvalues rows hold here.
std::string Narrow(const std::u16string& s) {
  std::string out;
  for (char16_t ch : s) {
    if (ch > 0xFF) throw std::logic_error("a single-byte text holds units up to 0xFF");
    out.push_back(static_cast<char>(ch));
  }
  return out;
}

// The server keeps a text one byte per character when every character
// allows it, and as UTF-16LE otherwise.
template <typename TextDef>
SysObjValuesRow ObjValuesRowOf(const TextDef& t) {
  SysObjValuesRow r;
  r.objectId = t.objectId;
  for (char16_t ch : t.text) r.utf16 = r.utf16 || ch > 0xFF;
  if (r.utf16) {
    r.wideText = t.text;
  } else {
    r.text = Narrow(t.text);
  }
  return r;
}

}  // namespace

// ------------------------------------------------------------------ layout

// Where one column of a table stands in its rows.
struct CatalogueBuilder::Place {
  int16_t colid = 0;
  bool variable = false;
  bool bit = false;
  uint16_t offset = 0;  // fixed and bit columns
  uint8_t bitPos = 0;
  uint16_t varNumber = 0;  // 1-based, the uniquifier being 1 when there is one
  uint16_t nullBit = 0;    // 1-based
  uint16_t length = 0;
  bool offRow = false;
};

// Page allocation and the PFS bytes of the file being written.
class CatalogueBuilder::Layout {
 public:
  Layout(bool is2000, Sink sink) : is2000_(is2000), sink_(std::move(sink)) {}

  bool Free(uint32_t p) const {
    if (p < 16 || (is2000_ && p == kSysColumnsIam)) return false;
    if (p % kPfsInterval == 0) return false;
    return p >= used_.size() || !used_[p];
  }
  uint32_t Single() {
    while (!Free(cursor_)) ++cursor_;
    Use(cursor_);
    return cursor_++;
  }
  uint32_t Extent() {
    uint32_t e = (cursor_ + 7) / 8 * 8;
    auto allFree = [&](uint32_t first) {
      for (uint32_t k = 0; k < 8; ++k) {
        if (!Free(first + k)) return false;
      }
      return true;
    };
    while (!allFree(e)) e += 8;
    for (uint32_t k = 0; k < 8; ++k) Use(e + k);
    if (e == cursor_) cursor_ += 8;
    return e;
  }
  // The next page of an object: eight single pages, then whole extents.
  uint32_t NextOf(std::vector<uint32_t>& pages, std::vector<uint32_t>& extents) {
    uint32_t p;
    if (pages.size() < 8) {
      p = Single();
    } else if ((pages.size() - 8) % 8 == 0) {
      p = Extent();
      extents.push_back(p);
    } else {
      p = pages.back() + 1;
    }
    pages.push_back(p);
    return p;
  }
  void Put(const PageBuilder& page, uint8_t pfsBits = kPfsAllocated) {
    uint32_t n = page.Number();
    if (n >= pfs_.size()) pfs_.resize(n + 1, 0);
    pfs_[n] = pfsBits;
    Use(n);
    end_ = std::max<uint64_t>(end_, n + 1);
    sink_(page);
  }
  uint64_t End() const { return end_; }
  const std::vector<uint8_t>& PfsBytes() const { return pfs_; }

 private:
  void Use(uint32_t p) {
    if (p >= used_.size()) used_.resize(p + 1, false);
    used_[p] = true;
  }

  bool is2000_;
  Sink sink_;
  uint32_t cursor_ = 16;
  std::vector<bool> used_;
  std::vector<uint8_t> pfs_;
  uint64_t end_ = 0;
};

namespace {

// Writes records onto the pages of one object, linked by their previous- and
// next-page fields. `next` gives the next record, or false at the end. The
// first page is `firstPage` when it is not 0.
struct PagedObject {
  std::vector<uint32_t> pages;
  std::vector<uint32_t> extents;
};

// `placed` hears where each record went; `object` may hold pages the object
// was given before.
template <typename Layout, typename NextRecord>
PagedObject WriteRecords(Layout& layout, const PageSpec& header, size_t perPage, uint32_t firstPage,
                         NextRecord next, PagedObject object = {},
                         const std::function<void(uint32_t, uint16_t)>& placed = {}) {
  ByteVec record;
  if (!next(record)) return object;
  auto newPage = [&](uint32_t prev) {
    uint32_t n;
    if (object.pages.empty() && firstPage != 0) {
      n = firstPage;
      object.pages.push_back(n);
    } else {
      n = layout.NextOf(object.pages, object.extents);
    }
    PageBuilder page(n);
    page.Header() = header;
    page.Header().prevPage = prev;
    page.Header().prevFile = prev ? 1 : 0;
    return page;
  };
  PageBuilder page = newPage(0);
  do {
    bool full = (perPage && page.SlotCount() >= perPage) || !page.Fits(record.size());
    if (full && page.SlotCount() > 0) {
      PageBuilder following = newPage(page.Number());
      page.Header().nextPage = following.Number();
      page.Header().nextFile = 1;
      layout.Put(page);
      page = std::move(following);
    }
    auto slot = static_cast<uint16_t>(page.SlotCount());
    page.AddRecord(record);
    if (placed) placed(page.Number(), slot);
  } while (next(record));
  layout.Put(page);
  return object;
}

// The singles and extents of a paged object, for its IAM page.
std::vector<uint32_t> Singles(const PagedObject& o) {
  return {o.pages.begin(),
          o.pages.begin() + static_cast<ptrdiff_t>(std::min<size_t>(8, o.pages.size()))};
}

// The pages of one large-object or row-overflow unit: records go on the
// open page of their page type (3 for roots and data, 4 for inner nodes); a
// new page of the unit is taken when one is full.
template <typename Layout>
class LobPages {
 public:
  LobPages(Layout& layout, uint32_t objectId, uint16_t indexId)
      : layout_(layout), objectId_(objectId), indexId_(indexId) {}

  LobRecordPlace Add(const ByteVec& record, uint8_t pageType, uint16_t recordType) {
    std::optional<PageBuilder>& open = pageType == 4 ? tree_ : data_;
    if (open && !open->Fits(record.size())) {
      layout_.Put(*open);
      open.reset();
    }
    if (!open) {
      open.emplace(layout_.NextOf(object.pages, object.extents));
      open->Header().type = pageType;
      open->Header().objectId = objectId_;
      open->Header().indexId = indexId_;
    }
    auto slot = static_cast<uint16_t>(open->SlotCount());
    uint16_t offset = open->AddRecord(record);
    return {open->Number(), slot, offset, recordType};
  }
  void Finish() {
    for (auto* open : {&data_, &tree_}) {
      if (*open) layout_.Put(**open);
      open->reset();
    }
  }
  uint32_t ObjectId() const { return objectId_; }
  uint16_t IndexId() const { return indexId_; }

  PagedObject object;

 private:
  Layout& layout_;
  uint32_t objectId_;
  uint16_t indexId_;
  std::optional<PageBuilder> data_, tree_;
};

// The largest data a fragment record holds, as the server cuts values.
constexpr size_t kFragmentData = 8040;

// A fragment record's first 14 bytes: status 0x08, record length, blob id, type.
ByteVec FragmentHeader(size_t length, uint64_t blobId, uint16_t type) {
  return Concat({U8(0x08), U8(0), U16(static_cast<uint16_t>(length)), U64(blobId), U16(type)});
}

ByteVec Link12(uint32_t end, const LobRecordPlace& to) {
  return Concat({U32(end), U32(to.page), U16(1), U16(to.slot)});
}

// Lays out one large value; returns the bytes its row holds.
template <typename Layout>
ByteVec LayOutLargeValue(LobPages<Layout>& pages, const LargeRequest& r, uint64_t blobId,
                         bool is2000, std::vector<LobRecordPlace>& placed) {
  const size_t cut = r.fragmentBytes ? r.fragmentBytes : kFragmentData;
  auto textPointer = [&](const LobRecordPlace& root) {
    return Concat({U64(blobId), U32(root.page), U16(1), U16(root.slot)});
  };
  if (r.shape == LobShape::kSmallRoot) {
    ByteVec record = Concat({FragmentHeader(20 + r.data.size(), blobId, 0),
                             U16(static_cast<uint16_t>(r.data.size())), U32(0), r.data});
    placed.push_back(pages.Add(record, 3, 0));
    return textPointer(placed.back());
  }
  // Data fragments, with the cumulative end of each.
  std::vector<std::pair<uint32_t, LobRecordPlace>> fragments;
  size_t at = 0;
  do {
    size_t n = std::min(cut, r.data.size() - at);
    ByteVec chunk(r.data.begin() + static_cast<ptrdiff_t>(at),
                  r.data.begin() + static_cast<ptrdiff_t>(at + n));
    placed.push_back(pages.Add(Concat({FragmentHeader(14 + n, blobId, 3), chunk}), 3, 3));
    at += n;
    fragments.emplace_back(static_cast<uint32_t>(at), placed.back());
  } while (at < r.data.size());

  if (r.shape == LobShape::kRowOverflow) {
    if (fragments.size() != 1) throw std::logic_error("a row-overflow value is one fragment");
    return Concat({U8(2), U8(0), ByteVec(10), Link12(fragments[0].first, fragments[0].second)});
  }
  if (r.shape == LobShape::kInRowRoot) {
    ByteVec root = Concat({U8(4), U8(0), ByteVec(10)});
    for (const auto& [end, to] : fragments) {
      ByteVec link = Link12(end, to);
      root.insert(root.end(), link.begin(), link.end());
    }
    return root;
  }
  // Large roots: 4 as a 2000 server writes them, 5 as 2005/2008 servers do.
  const uint16_t rootType = is2000 ? 4 : 5;
  auto largeRoot = [&](uint16_t level,
                       const std::vector<std::pair<uint32_t, LobRecordPlace>>& links) {
    ByteVec body;
    for (const auto& [end, to] : links) {
      ByteVec link = Link12(end, to);
      body.insert(body.end(), link.begin(), link.end());
    }
    auto count = static_cast<uint16_t>(links.size());
    return Concat({FragmentHeader(24 + body.size(), blobId, rootType), U16(count), U16(count),
                   U16(level), U32(0), body});
  };
  if (r.shape == LobShape::kLargeRoot) {
    placed.push_back(pages.Add(largeRoot(0, fragments), 3, rootType));
    return textPointer(placed.back());
  }
  if (r.shape != LobShape::kTree) throw std::logic_error("unknown large-value shape");
  // One internal node on a text-tree page: 16-byte links, u64 cumulative ends.
  ByteVec body;
  for (const auto& [end, to] : fragments) {
    body = Concat({body, U64(end), U32(to.page), U16(1), U16(to.slot)});
  }
  auto count = static_cast<uint16_t>(fragments.size());
  placed.push_back(pages.Add(
      Concat({FragmentHeader(20 + body.size(), blobId, 2), U16(count), U16(count), U16(0), body}),
      4, 2));
  placed.push_back(pages.Add(largeRoot(1, {{static_cast<uint32_t>(r.data.size()), placed.back()}}),
                             3, rootType));
  return textPointer(placed.back());
}

}  // namespace

// ------------------------------------------------------------------ builder

CatalogueBuilder::CatalogueBuilder(uint16_t version, const std::u16string& databaseName)
    : version_(version), databaseName_(databaseName) {}

int32_t CatalogueBuilder::NextObjectId() {
  int32_t id = nextId_;
  nextId_ += 16013;
  return id;
}

int32_t CatalogueBuilder::AddTable(const std::u16string& name,
                                   const std::vector<ColumnDef>& columns,
                                   const std::vector<Row>& rows, const TableOptions& options) {
  auto shared = std::make_shared<std::vector<Row>>(rows);
  return AddGeneratedTable(
      name, columns, rows.size(), [shared](uint64_t i) { return (*shared)[i]; }, options);
}

int32_t CatalogueBuilder::AddGeneratedTable(const std::u16string& name,
                                            const std::vector<ColumnDef>& columns,
                                            uint64_t rowCount, RowSource rows,
                                            const TableOptions& options) {
  TableDef t;
  t.id = NextObjectId();
  t.name = name;
  t.columns = columns;
  t.rowCount = rowCount;
  t.rows = std::move(rows);
  t.options = options;
  objects_.push_back({t.id, name, "U ", 0, options.status2});
  tables_.push_back(std::move(t));
  return tables_.back().id;
}

int32_t CatalogueBuilder::AddKey(int32_t tableId, const std::u16string& name,
                                 const std::string& type, const std::vector<int16_t>& keyColumns,
                                 bool clustered) {
  auto t = std::find_if(tables_.begin(), tables_.end(), [&](auto& x) { return x.id == tableId; });
  if (t == tables_.end()) throw std::logic_error("a key needs its table");
  if (clustered && t->clusteredIndex) throw std::logic_error("a table has one clustered index");
  int32_t id = NextObjectId();
  objects_.push_back({id, name, type, tableId});
  bool primary = type == "PK";
  uint32_t status = Is2000() ? (primary ? 0x802u : 0x1002u) | (clustered ? 0x10u : 0u)
                             : (primary ? 0x2Bu : 0x4Bu);
  int32_t indid = clustered ? 1 : t->nextIndexId++;
  if (clustered) {
    t->clusteredIndex = 1;
    t->clusteredName = name;
    t->clusteredStatus = status;
  }
  indexes_.push_back({tableId, indid, name, status, keyColumns});
  return id;
}

int32_t CatalogueBuilder::AddIndex(int32_t tableId, const std::u16string& name,
                                   const std::vector<int16_t>& keyColumns, uint32_t status) {
  TableDef& t = TableOf(tableId);
  int32_t indid = t.nextIndexId++;
  indexes_.push_back({tableId, indid, name, Is2000() ? 0u : status, keyColumns});
  return indid;
}

int32_t CatalogueBuilder::AddIndex2000(int32_t tableId, const std::u16string& name,
                                       const std::vector<int16_t>& keyColumns, uint32_t status,
                                       bool clustered) {
  if (!Is2000()) throw std::logic_error("sysindexes status bits are those of 2000 files");
  TableDef& t = TableOf(tableId);
  int32_t indid = clustered ? 1 : t.nextIndexId++;
  if (clustered) {
    if (t.clusteredIndex) throw std::logic_error("a table has one clustered index");
    status |= kIndexClustered2000;
    t.clusteredIndex = 1;
    t.clusteredName = name;
    t.clusteredStatus = status;
    // A non-unique clustered index tells equal keys apart by a uniquifier
    // every row carries.
    if (!(status & kIndexUnique2000)) t.options.uniquifier = true;
  }
  indexes_.push_back({tableId, indid, name, status, keyColumns});
  return indid;
}

int32_t CatalogueBuilder::AddCheck(int32_t tableId, const std::u16string& name,
                                   const std::string& text, const CommentOptions& options) {
  return AddCheck(tableId, name, Widen(text), options);
}

int32_t CatalogueBuilder::AddCheck(int32_t tableId, const std::u16string& name,
                                   const std::u16string& text, const CommentOptions& options) {
  int32_t id = NextObjectId();
  objects_.push_back({id, name, "C ", tableId});
  checks_.push_back({id, text, 0, options});
  return id;
}

int32_t CatalogueBuilder::AddDefault(int32_t tableId, int16_t colid, const std::u16string& name,
                                     const std::string& text) {
  const int32_t id = AddCheck(tableId, name, text);
  objects_.back().type = "D ";
  TableOf(tableId).defaults[colid] = id;
  return id;
}

int32_t CatalogueBuilder::AddModule(const std::string& type, const std::u16string& name,
                                    const std::string& text, int32_t parent,
                                    const CommentOptions& options) {
  return AddModule(type, name, Widen(text), parent, options);
}

int32_t CatalogueBuilder::AddModule(const std::string& type, const std::u16string& name,
                                    const std::u16string& text, int32_t parent,
                                    const CommentOptions& options) {
  int32_t id = NextObjectId();
  objects_.push_back({id, name, type, parent});
  modules_.push_back({id, text, static_cast<int16_t>(type == "P " ? 1 : 0), options});
  return id;
}

void CatalogueBuilder::AddNumberedText(int32_t moduleId, const std::u16string& text,
                                       const CommentOptions& options) {
  if (!Is2000()) throw std::logic_error("numbered text parts are kept in syscomments");
  int16_t last = -1;
  for (const auto& m : modules_) {
    if (m.objectId == moduleId) last = std::max(last, m.number);
  }
  if (last < 1) throw std::logic_error("numbered parts belong to a procedure added before");
  modules_.push_back({moduleId, text, static_cast<int16_t>(last + 1), options});
}

void CatalogueBuilder::SetObjectStatus(int32_t objectId, uint32_t status) {
  for (ObjectDef& o : objects_) {
    if (o.id == objectId) o.status = status;
  }
}

void CatalogueBuilder::AddSchema(int32_t id, const std::u16string& name) {
  schemas_.emplace_back(id, name);
}

void CatalogueBuilder::SetSchema(int32_t objectId, int32_t schemaId) {
  for (ObjectDef& o : objects_) {
    if (o.id == objectId) o.schema = schemaId;
  }
}

int32_t CatalogueBuilder::AddObject(const std::u16string& name, const std::string& type,
                                    int32_t parent) {
  int32_t id = NextObjectId();
  objects_.push_back({id, name, type, parent});
  return id;
}

void CatalogueBuilder::AddDependency(uint8_t refClass, int32_t depId, int32_t depSubId,
                                     int32_t indepId, int32_t indepSubId) {
  dependencies_.push_back({refClass, depId, depSubId, indepId, indepSubId});
}

int32_t CatalogueBuilder::AddForeignKey(int32_t tableId, const std::u16string& name,
                                        const std::vector<int16_t>& columns,
                                        int32_t referencedTable,
                                        const std::vector<int16_t>& referencedColumns,
                                        int16_t referencedIndex) {
  if (!Is2000()) throw std::logic_error("sysreferences rows are those of 2000 files");
  if (columns.size() != referencedColumns.size() || columns.empty() || columns.size() > 16) {
    throw std::logic_error("a foreign key pairs 1 to 16 columns with as many referenced ones");
  }
  TableOf(tableId);
  TableOf(referencedTable);
  int32_t id = AddObject(name, "F ", tableId);
  foreignKeys_.push_back(
      {id, tableId, columns, referencedTable, referencedColumns, referencedIndex});
  return id;
}

CatalogueBuilder::TableDef& CatalogueBuilder::TableOf(int32_t tableId) {
  auto t = std::find_if(tables_.begin(), tables_.end(), [&](auto& x) { return x.id == tableId; });
  if (t == tables_.end()) throw std::logic_error("no table with this id");
  return *t;
}

std::vector<CatalogueBuilder::Place> CatalogueBuilder::PlacesOf(const TableDef& t) const {
  std::vector<int16_t> order = t.options.physicalOrder;
  if (order.empty()) {
    for (size_t i = 0; i < t.columns.size(); ++i) order.push_back(static_cast<int16_t>(i + 1));
  }
  if (order.size() != t.columns.size()) throw std::logic_error("physical order names every column");
  size_t bitColumns = 0;
  for (const auto& c : t.columns) bitColumns += c.xtype == xtype::kBit;
  std::vector<Place> places(t.columns.size());
  uint16_t fixed = 4, var = t.options.uniquifier ? 1 : 0, nullBit = 0, bitBytes = 0, bits = 0;
  for (int16_t colid : order) {
    const ColumnDef& c = t.columns.at(static_cast<size_t>(colid - 1));
    Place& p = places[static_cast<size_t>(colid - 1)];
    p.colid = colid;
    p.nullBit = ++nullBit;
    p.length = static_cast<uint16_t>(std::max<int16_t>(c.length, 0));
    if (c.xtype == xtype::kBit) {
      if (bits == 0) {
        bitBytes = fixed;
        fixed = static_cast<uint16_t>(fixed + (bitColumns + 7) / 8);
      }
      p.bit = true;
      p.offset = static_cast<uint16_t>(bitBytes + bits / 8);
      p.bitPos = static_cast<uint8_t>(bits % 8);
      ++bits;
    } else if (IsVariable(c)) {
      p.variable = true;
      p.varNumber = ++var;
      p.offRow = IsLargeObject(c);
    } else {
      p.offset = fixed;
      fixed = static_cast<uint16_t>(fixed + p.length);
    }
  }
  return places;
}

ByteVec CatalogueBuilder::EncodeRow(const TableDef& t, const std::vector<Place>& places,
                                    const Row& row, const std::vector<bool>& offRow,
                                    bool forwarded) const {
  if (row.size() != places.size()) throw std::logic_error("a row gives every column");
  uint16_t fixedEnd = 4, varCount = t.options.uniquifier ? 1 : 0;
  for (const auto& p : places) {
    if (p.variable) {
      varCount = std::max(varCount, p.varNumber);
    } else {
      fixedEnd =
          std::max<uint16_t>(fixedEnd, static_cast<uint16_t>(p.offset + (p.bit ? 1 : p.length)));
    }
  }
  ByteVec fixed(fixedEnd - 4u);
  std::vector<std::pair<ByteVec, bool>> vars(varCount);
  if (t.options.uniquifier) vars[0].first = U32(t.options.uniquifierValue);
  RecordBuilder record;
  uint16_t columns = static_cast<uint16_t>(places.size() + (t.options.uniquifier ? 1 : 0));
  record.Columns(columns);
  for (size_t i = 0; i < places.size(); ++i) {
    const Place& p = places[i];
    const Value& v = row[i];
    if (!v) {
      record.Null(p.nullBit);
      continue;
    }
    if (p.variable) {
      vars[p.varNumber - 1] = {*v, p.offRow || (i < offRow.size() && offRow[i])};
    } else if (p.bit) {
      if (!v->empty() && (*v)[0] != std::byte{0}) fixed[p.offset - 4] |= std::byte(1u << p.bitPos);
    } else {
      if (v->size() != p.length) throw std::logic_error("a fixed value has its column's length");
      std::copy(v->begin(), v->end(), fixed.begin() + (p.offset - 4));
    }
  }
  record.Fixed(fixed);
  if (forwarded) {
    // Type bits 0x02, NULL bitmap and variable part; the back pointer to the
    // stub is a trailing variable column past the table's own, filled in once
    // the stub is placed.
    record.Status(0x32);
    vars.emplace_back(ByteVec(kBackPointerSize), true);
  }
  if (vars.empty()) {
    record.NoVariablePart();
  } else {
    for (const auto& [bytes, offRow] : vars) record.Var(bytes, offRow);
  }
  return record.Build();
}

void CatalogueBuilder::PlaceTable(Layout& layout, const TableDef& t) {
  BuiltTable b;
  b.id = t.id;
  if (Is2000()) {
    b.objectIdOnPages = static_cast<uint32_t>(t.id);
  } else {
    b.rowsetId = PartitionStyleId(nextMid_++);
    b.objectIdOnPages = nextMid_++;  // the in-row unit's id bits 16..47
  }
  PageSpec header;
  header.type = 1;
  header.objectId = b.objectIdOnPages;
  header.indexId = Is2000() ? 0 : kUserIndexId;
  auto places = PlacesOf(t);

  // The units of large values, made when the first value needs one.
  std::optional<LobPages<Layout>> lob, overflow;
  auto lobPages = [&]() -> LobPages<Layout>& {
    if (!lob) {
      if (Is2000()) {
        lob.emplace(layout, static_cast<uint32_t>(t.id), kTextIndexId2000);
      } else {
        b.lobUnitObjectId = nextMid_++;
        lob.emplace(layout, b.lobUnitObjectId, kUserIndexId);
      }
    }
    return *lob;
  };
  auto overflowPages = [&]() -> LobPages<Layout>& {
    if (Is2000()) throw std::logic_error("2000 files keep no row-overflow values");
    if (!overflow) {
      b.overflowUnitObjectId = nextMid_++;
      overflow.emplace(layout, b.overflowUnitObjectId, kUserIndexId);
    }
    return *overflow;
  };
  uint64_t nextBlobId = (uint64_t{static_cast<uint32_t>(t.id)} << 16) | 1;
  // Row `index` as a record, its large values laid out.
  auto encode = [&](uint64_t index, bool forwarded) {
    Row row = t.rows(index);
    std::vector<bool> offRow(row.size(), false);
    for (size_t c = 0; c < row.size(); ++c) {
      if (!row[c]) continue;
      auto request = AsLargeRequest(*row[c]);
      if (!request) continue;
      offRow[c] = true;
      if (request->shape == LobShape::kAsGiven) {
        row[c] = request->data;
        continue;
      }
      LaidOutValue laid{index, c, request->shape, {}};
      auto& pages = request->shape == LobShape::kRowOverflow ? overflowPages() : lobPages();
      row[c] = LayOutLargeValue(pages, *request, nextBlobId++, Is2000(), laid.records);
      b.largeValues.push_back(std::move(laid));
    }
    return EncodeRow(t, places, row, offRow, forwarded);
  };

  // Forwarded records first, on pages of their own, so that the stubs know
  // where they point.
  PagedObject data;
  std::vector<PageBuilder> forwardPages;
  std::map<uint64_t, size_t> forwardedAt;  // row -> index in b.forwarded
  std::vector<uint16_t> backPointerAt;
  for (uint64_t index :
       std::set<uint64_t>(t.options.forwardedRows.begin(), t.options.forwardedRows.end())) {
    if (index >= t.rowCount) throw std::logic_error("a forwarded row is one of the table's rows");
    ByteVec record = encode(index, true);
    if (forwardPages.empty() || !forwardPages.back().Fits(record.size())) {
      forwardPages.emplace_back(layout.NextOf(data.pages, data.extents));
      forwardPages.back().Header() = header;
    }
    PageBuilder& page = forwardPages.back();
    auto slot = static_cast<uint16_t>(page.SlotCount());
    uint16_t offset = page.AddRecord(record);
    forwardedAt[index] = b.forwarded.size();
    b.forwarded.push_back({index, 0, 0, page.Number(), slot});
    backPointerAt.push_back(static_cast<uint16_t>(offset + record.size() - kBackPointerSize));
  }

  uint64_t i = 0;
  auto placed = [&](uint32_t page, uint16_t slot) {
    auto f = forwardedAt.find(i - 1);
    if (f == forwardedAt.end()) return;
    ForwardedPlace& where = b.forwarded[f->second];
    where.stubPage = page;
    where.stubSlot = slot;
    for (auto& fp : forwardPages) {
      if (fp.Number() == where.page) {
        fp.Poke(backPointerAt[f->second], Concat({U8(0x04), U8(0), U32(page), U16(1), U16(slot)}));
      }
    }
  };
  data = WriteRecords(
      layout, header, t.options.rowsPerPage, 0,
      [&](ByteVec& record) {
        if (i >= t.rowCount) return false;
        if (auto f = forwardedAt.find(i); f != forwardedAt.end()) {
          // A forwarding stub: status 0x04, page u32, file u16, slot u16.
          const ForwardedPlace& to = b.forwarded[f->second];
          record = Concat({U8(0x04), U32(to.page), U16(1), U16(to.slot)});
          ++i;
        } else {
          record = encode(i++, false);
        }
        return true;
      },
      std::move(data), placed);
  for (const auto& fp : forwardPages) layout.Put(fp);
  b.dataPages = data.pages;
  if (!data.pages.empty()) {
    b.firstPage = data.pages.front();
    b.iamPage = layout.Single();
    layout.Put(
        IamPageFor(b.iamPage, b.objectIdOnPages, header.indexId, 0, Singles(data), data.extents),
        kPfsAllocated | kPfsIam);
  }
  if (!Is2000() && t.options.lobUnit) {
    // A small text fragment: status 0x08, length, blob id, type 3 (data).
    ByteVec text = Ascii("large object bytes");
    lobPages().Add(Concat({FragmentHeader(14 + text.size(), 0x00000001000A0000ull, 3), text}), 3,
                   3);
  }
  auto finish = [&](LobPages<Layout>& unit, std::vector<uint32_t>& pages, uint32_t& iam) {
    unit.Finish();
    pages = unit.object.pages;
    iam = layout.Single();
    layout.Put(IamPageFor(iam, unit.ObjectId(), unit.IndexId(), 0, Singles(unit.object),
                          unit.object.extents),
               kPfsAllocated | kPfsIam);
  };
  if (lob) finish(*lob, b.lobPages, b.lobIamPage);
  if (overflow) finish(*overflow, b.overflowPages, b.overflowIamPage);
  built_[t.id] = b;
}

void CatalogueBuilder::PlaceTables(Layout& layout) {
  for (const auto& t : tables_) PlaceTable(layout, t);
}

// ---------------------------------------------------------- 2000 system rows

const CatalogueBuilder::IndexDef* CatalogueBuilder::ClusteredIndexOf(int32_t tableId) const {
  for (const auto& x : indexes_) {
    if (x.tableId == tableId && x.indid == 1) return &x;
  }
  return nullptr;
}

// sysindexes.keys of an index: its own key columns in key order; a clustered
// index that is not unique ends in the uniquifier (column 0); a nonclustered
// index carries the table's clustering key, uniquifier included, or, on a
// heap, the row locator (column 0).
ByteVec CatalogueBuilder::IndexKeys2000(const IndexDef& x) const {
  ByteVec keys;
  auto add = [&](int16_t column, uint8_t carried) {
    ByteVec e = IndexKeyEntry2000(static_cast<uint16_t>(column), carried);
    keys.insert(keys.end(), e.begin(), e.end());
  };
  for (int16_t column : x.keyColumns) add(column, 0);
  if (x.indid == 1) {
    if (!(x.status & kIndexUnique2000)) add(0, 0);
    return keys;
  }
  const IndexDef* clustered = ClusteredIndexOf(x.tableId);
  if (!clustered) {
    add(0, kCarried);
    return keys;
  }
  for (int16_t column : clustered->keyColumns) {
    bool own = std::find(x.keyColumns.begin(), x.keyColumns.end(), column) != x.keyColumns.end();
    add(column, own ? kCarriedOwnKey : kCarried);
  }
  if (!(clustered->status & kIndexUnique2000)) add(0, kCarried);
  return keys;
}

// A text's syscomments rows: cut into rows of at most 8000 bytes, numbered
// 1, 2, 3, ... within the text's number.
void CatalogueBuilder::CommentRows2000(const TextDef& text, std::vector<ByteVec>& out) const {
  const bool compressed = text.options.compressed;
  const size_t bytesPerChar = compressed ? 1 : 2;
  size_t perRow =
      text.options.charsPerRow ? text.options.charsPerRow : kCommentBytes / bytesPerChar;
  if (perRow * bytesPerChar > kCommentBytes)
    throw std::logic_error("a syscomments row holds 8000 bytes");
  int16_t colid = 0;
  size_t at = 0;
  do {
    std::u16string piece = text.text.substr(at, perRow);
    at += piece.size();
    SysCommentsRow r;
    r.objectId = text.objectId;
    r.number = text.number;
    r.colid = ++colid;
    r.status = compressed ? kCommentCompressed : 0;
    r.text = compressed ? Cp1252(piece) : Utf16(piece);
    out.push_back(Encode(r));
  } while (at < text.text.size());
}

CatalogueBuilder::SystemRowLists CatalogueBuilder::SystemRows2000() const {
  SystemRowLists rows;
  auto& objects = rows[kObjSysObjects];
  auto& columns = rows[kObjSysColumns];
  auto& indexes = rows[kObjSysIndexes];
  auto& comments = rows[kObjSysComments];
  auto& references = rows[kObjSysReferences];
  // The system tables themselves: objects, their columns and index rows,
  // none of which the catalogue keeps as user data. syscomments and
  // sysreferences are found through their sysindexes rows alone, so they
  // get no object rows, which keeps sysobjects' pages as tests expect them.
  objects.push_back(Encode(SysObjectsRow{1, "S ", 0, u"sysobjects"}));
  objects.push_back(Encode(SysObjectsRow{2, "S ", 0, u"sysindexes"}));
  objects.push_back(Encode(SysObjectsRow{3, "S ", 0, u"syscolumns"}));
  columns.push_back(Encode(SysColumnsRow{1, u"name", xtype::kNVarChar, 1, 256, 0, 0, 1, -1}));
  columns.push_back(Encode(SysColumnsRow{1, u"id", xtype::kInt, 1, 4, 10, 0, 2, 4}));

  for (const auto& c : checks_) CommentRows2000(c, comments);
  for (const auto& m : modules_) CommentRows2000(m, comments);
  for (const auto& fk : foreignKeys_) {
    references.push_back(
        Encode(SysReferencesRow{fk.id, fk.tableId, fk.referencedTable, fk.referencedIndex,
                                fk.columns, fk.referencedColumns, std::nullopt}));
  }

  indexes.push_back(
      Encode(SysIndexesRow{1, 0x12, kSysObjectsFirst, 1, 0, 0, kSysObjectsIam, u"sysobjects", {}}));
  indexes.push_back(Encode(SysIndexesRow{2, 0x12, 0, 1, 0, 0, kSysIndexesIam, u"sysindexes", {}}));
  indexes.push_back(Encode(SysIndexesRow{3, 0x12, 0, 1, 0, 0, kSysColumnsIam, u"syscolumns", {}}));
  for (const auto& [id, name, list] :
       {std::tuple{kObjSysComments, u"syscomments", &comments},
        std::tuple{kObjSysReferences, u"sysreferences", &references}}) {
    auto [iam, first] = systemIamAndFirst_.at(id);
    indexes.push_back(Encode(
        SysIndexesRow{static_cast<int32_t>(id), 0x12, first, 1, 0, list->size(), iam, name, {}}));
  }

  for (const auto& o : objects_) {
    SysObjectsRow row{o.id, o.type, o.parent, o.name};
    if (o.status) row.status = *o.status;
    row.uid = static_cast<int16_t>(o.schema);
    objects.push_back(Encode(row));
  }
  if (!schemas_.empty()) {
    auto& users = rows[kObjSysUsers];
    users.push_back(Encode(SysUsersRow{1, u"dbo"}));
    users.push_back(Encode(SysUsersRow{2, u"guest"}));
    for (const auto& [id, name] : schemas_) {
      users.push_back(Encode(SysUsersRow{static_cast<int16_t>(id), name}));
    }
    auto [iam, first] = systemIamAndFirst_.at(kObjSysUsers);
    indexes.push_back(Encode(SysIndexesRow{static_cast<int32_t>(kObjSysUsers),
                                           0x12,
                                           first,
                                           1,
                                           0,
                                           users.size(),
                                           iam,
                                           u"sysusers",
                                           {}}));
    for (const auto& c : SysUsersColumns2000()) columns.push_back(Encode(c));
  }
  for (const auto& t : tables_) {
    auto places = PlacesOf(t);
    for (size_t i = 0; i < t.columns.size(); ++i) {
      const ColumnDef& c = t.columns[i];
      const Place& p = places[i];
      SysColumnsRow r;
      r.tableId = t.id;
      r.name = c.name;
      r.xtype = c.xtype;
      r.typestat = c.notNull ? 1 : 0;
      r.length = c.length;
      r.prec = c.prec;
      r.scale = c.scale;
      r.colid = static_cast<int16_t>(i + 1);
      r.xoffset = p.variable ? static_cast<int16_t>(-p.varNumber) : static_cast<int16_t>(p.offset);
      r.bitpos = p.bitPos;
      r.collation = c.collation;
      if (c.identity) {
        r.colstat |= 0x0001;
        r.autoval = IdentityValue(static_cast<size_t>(c.length), c.identity->seed,
                                  c.identity->increment, c.identity->last);
      }
      if (!c.computedText.empty()) {
        r.colstat |= 0x0004;
        r.xoffset = 0;
        CommentRows2000({t.id, c.computedText, r.colid, {}}, comments);
      }
      if (auto d = t.defaults.find(r.colid); d != t.defaults.end()) r.cdefault = d->second;
      columns.push_back(Encode(r));
    }
    const BuiltTable& b = built_.at(t.id);
    uint64_t count = t.options.recordedRowCount.value_or(t.rowCount);
    SysIndexesRow heap;
    heap.tableId = t.id;
    heap.indid = static_cast<uint16_t>(t.clusteredIndex);
    heap.status = t.clusteredIndex ? t.clusteredStatus : 0;
    heap.name = t.clusteredIndex ? t.clusteredName : t.options.heapName;
    heap.firstPage = b.firstPage;
    heap.firstIam = b.iamPage;
    heap.rowCount = count;
    if (const IndexDef* clustered = ClusteredIndexOf(t.id)) heap.keys = IndexKeys2000(*clustered);
    indexes.push_back(Encode(heap));
    if (!b.lobPages.empty()) {
      // The table's text/image pages: index id 255, named after the table.
      SysIndexesRow text;
      text.tableId = t.id;
      text.indid = kTextIndexId2000;
      text.name = u"t" + t.name;
      text.firstPage = b.lobPages.front();
      text.firstIam = b.lobIamPage;
      indexes.push_back(Encode(text));
    }
  }
  // How sysindexes, syscomments and sysreferences rows are cut: after the
  // user tables' columns, so that the pages of those stay where tests
  // expect them.
  for (const auto& c : SystemTableColumns2000()) columns.push_back(Encode(c));
  for (const auto& x : indexes_) {
    if (x.indid == 1) continue;  // the clustered index is the table's own row
    SysIndexesRow r;
    r.tableId = x.tableId;
    r.indid = static_cast<uint16_t>(x.indid);
    r.status = x.status;
    r.name = x.name;
    r.keys = IndexKeys2000(x);
    indexes.push_back(Encode(r));
  }
  return rows;
}

// ----------------------------------------------------- 2005/2008 system rows

CatalogueBuilder::SystemRowLists CatalogueBuilder::SystemRows2005() const {
  SystemRowLists rows;
  for (uint32_t id : {kObjSysRscols, kObjSysRowsetColumns, kObjSysRowsets, kObjSysAllocUnits,
                      kObjSysHobtColumns, kObjSysSchObjs, kObjSysColPars, kObjSysIdxStats,
                      kObjSysIsCols, kObjSysObjValues, kObjSysSingleObjRefs}) {
    rows[id];
  }
  // The column layouts: 655 sysrscols; 611 sysrowsetcolumns and syshobtcolumns.
  // 2008 and every later release keep the layouts in sysrscols.
  const bool v655 = version_ >= 655;
  if (v655) {
    rows.erase(kObjSysRowsetColumns);
    rows.erase(kObjSysHobtColumns);
  } else {
    rows.erase(kObjSysRscols);
  }

  auto& objects = rows[kObjSysSchObjs];
  const std::pair<int32_t, const char16_t*> systemTables[] = {
      {5, u"sysrowsets"},    {7, u"sysallocunits"},    {34, u"sysschobjs"},
      {41, u"syscolpars"},   {54, u"sysidxstats"},     {55, u"sysiscols"},
      {60, u"sysobjvalues"}, {74, u"syssingleobjrefs"}};
  for (const auto& [id, name] : systemTables) {
    objects.push_back(Encode(SysSchObjsRow{id, name, "S ", 0, 0, 1, version_ >= 706}));
  }
  rows[kObjSysColPars].push_back(Encode(SysColParsRow{34, 1, u"id", xtype::kInt, 4, 10, 0, 1}));
  rows[kObjSysColPars].push_back(
      Encode(SysColParsRow{34, 2, u"name", xtype::kNVarChar, 256, 0, 0, 1}));
  for (const auto& o : objects_) {
    objects.push_back(Encode(SysSchObjsRow{o.id, o.name, o.type, o.parent, o.status.value_or(0),
                                           o.schema, version_ >= 706, o.status2}));
  }
  if (!schemas_.empty()) {
    auto& classes = rows[kObjSysClsObjs];
    const std::pair<int32_t, const char16_t*> fixed[] = {
        {1, u"dbo"}, {2, u"guest"}, {3, u"INFORMATION_SCHEMA"}, {4, u"sys"}};
    for (const auto& [id, name] : fixed) classes.push_back(Encode(SysClsObjsRow{50, id, name}));
    for (const auto& [id, name] : schemas_) classes.push_back(Encode(SysClsObjsRow{50, id, name}));
  }

  for (const auto& t : tables_) {
    const BuiltTable& b = built_.at(t.id);
    auto places = PlacesOf(t);
    for (size_t i = 0; i < t.columns.size(); ++i) {
      const ColumnDef& c = t.columns[i];
      SysColParsRow r;
      r.objectId = t.id;
      r.colid = static_cast<int32_t>(i + 1);
      r.name = c.name;
      r.xtype = c.xtype;
      r.length = c.length;
      r.prec = c.prec;
      r.scale = c.scale;
      r.status = (c.notNull ? 1 : 0) | c.statusBits;
      if (c.collation) r.collation = c.collation;
      if (c.identity) {
        r.status |= 0x04;
        r.idtval = IdentityValue(static_cast<size_t>(c.length), c.identity->seed,
                                 c.identity->increment, c.identity->last);
      }
      if (auto d = t.defaults.find(static_cast<int16_t>(r.colid)); d != t.defaults.end()) {
        r.dflt = d->second;
      }
      if (!c.computedText.empty()) {
        r.status |= 0x10 | (c.persisted ? 0x200 : 0);
        SysObjValuesRow text = ObjValuesRowOf(TextDef{t.id, c.computedText, 0, {}});
        text.valueClass = 2;
        text.subId = r.colid;
        rows[kObjSysObjValues].push_back(Encode(text));
      }
      rows[kObjSysColPars].push_back(Encode(r));
    }
    uint64_t count = t.options.recordedRowCount.value_or(t.rowCount);
    rows[kObjSysRowsets].push_back(
        Encode(SysRowsetsRow{b.rowsetId, t.id, t.clusteredIndex, count, t.options.compression}));

    SysAllocUnitsRow inRow{
        PartitionStyleId(b.objectIdOnPages), 1, b.rowsetId, b.firstPage, b.firstPage, b.iamPage};
    std::vector<ByteVec> units{Encode(inRow)};
    if (b.lobUnitObjectId != 0) {
      SysAllocUnitsRow lob{
          PartitionStyleId(b.lobUnitObjectId), 2, b.rowsetId, b.lobPages.front(), 0, b.lobIamPage};
      units.insert(t.options.lobUnitFirst ? units.begin() : units.end(), Encode(lob));
    }
    if (b.overflowUnitObjectId != 0) {
      units.push_back(
          Encode(SysAllocUnitsRow{PartitionStyleId(b.overflowUnitObjectId), 3, b.rowsetId,
                                  b.overflowPages.front(), 0, b.overflowIamPage}));
    }
    for (auto& u : units) rows[kObjSysAllocUnits].push_back(std::move(u));

    SysIdxStatsRow own{t.id, t.clusteredIndex, t.clusteredIndex ? t.clusteredStatus : 0,
                       t.clusteredName, b.rowsetId};
    rows[kObjSysIdxStats].push_back(Encode(own));

    // The recorded layout of the table's rowset; the hobt columns are numbered
    // in physical order.
    std::vector<const Place*> physical;
    for (const auto& p : places) physical.push_back(&p);
    std::sort(physical.begin(), physical.end(),
              [](const Place* a, const Place* b) { return a->nullBit < b->nullBit; });
    struct Rec {
      int32_t colid;
      int16_t offset;
      uint16_t nullBit, bitPos;
    };
    std::vector<Rec> recs;
    if (t.options.uniquifier) {
      recs.push_back({0, -1, static_cast<uint16_t>(places.size() + 1), 0});
    }
    for (const Place* p : physical) {
      int16_t offset =
          p->variable ? static_cast<int16_t>(-p->varNumber) : static_cast<int16_t>(p->offset);
      recs.push_back({p->colid, offset, p->nullBit, p->bitPos});
    }
    for (size_t k = 0; k < recs.size(); ++k) {
      const Rec& r = recs[k];
      auto hobtColumn = static_cast<int32_t>(k + 1);
      if (v655) {
        rows[kObjSysRscols].push_back(
            Encode(SysRscolsRow{b.rowsetId, r.colid, hobtColumn, r.offset, r.nullBit, r.bitPos}));
      } else {
        rows[kObjSysRowsetColumns].push_back(
            Encode(SysRowsetColumnsRow{b.rowsetId, r.colid, hobtColumn}));
        rows[kObjSysHobtColumns].push_back(
            Encode(SysHobtColumnsRow{b.rowsetId, hobtColumn, r.offset, r.nullBit, r.bitPos}));
      }
    }
  }

  uint32_t mid = nextMid_;
  for (const auto& x : indexes_) {
    auto t =
        std::find_if(tables_.begin(), tables_.end(), [&](auto& y) { return y.id == x.tableId; });
    if (x.indid != 1) {
      // A nonclustered index: its own rowset (same owner) and in-row unit, no pages here.
      uint64_t rowset = PartitionStyleId(mid++);
      uint64_t count = t->options.recordedRowCount.value_or(t->rowCount);
      rows[kObjSysRowsets].push_back(Encode(SysRowsetsRow{rowset, x.tableId, x.indid, count}));
      rows[kObjSysAllocUnits].push_back(
          Encode(SysAllocUnitsRow{PartitionStyleId(mid++), 1, rowset, 0, 0, 0}));
      rows[kObjSysIdxStats].push_back(
          Encode(SysIdxStatsRow{x.tableId, x.indid, x.status, x.name, rowset}));
    }
    int32_t ordinal = 1;
    for (int16_t colid : x.keyColumns) {
      rows[kObjSysIsCols].push_back(Encode(SysIsColsRow{x.tableId, x.indid, ordinal++, colid}));
    }
  }
  for (const auto& d : dependencies_) rows[kObjSysSingleObjRefs].push_back(Encode(d));
  for (const auto* texts : {&checks_, &modules_}) {
    for (const auto& t : *texts) rows[kObjSysObjValues].push_back(Encode(ObjValuesRowOf(t)));
  }
  return rows;
}

// -------------------------------------------------------------- the file

void CatalogueBuilder::PlaceSystemTables(Layout& layout, SystemRowLists& rows) {
  for (auto& table : rows) {
    // Plain names, not a structured binding: the record lambda below captures
    // the list, and not every C++20 compiler lets a lambda capture a binding.
    const auto id = table.first;
    auto& list = table.second;
    PageSpec header;
    header.type = 1;
    header.objectId = id;
    size_t perPage = systemRowsPerPage_.count(id) ? systemRowsPerPage_.at(id) : 0;
    auto taken = systemIamAndFirst_.find(id);
    uint32_t first = 0;
    if (Is2000() && id == kObjSysObjects) first = kSysObjectsFirst;
    if (taken != systemIamAndFirst_.end()) first = taken->second.second;
    size_t i = 0;
    PagedObject o = WriteRecords(layout, header, perPage, first, [&](ByteVec& record) {
      if (i >= list.size()) return false;
      record = list[i++];
      return true;
    });
    if (o.pages.empty() && first != 0) {
      // No rows: the page the table's sysindexes row names stays an empty
      // page of the table.
      PageBuilder empty(first);
      empty.Header() = header;
      layout.Put(empty);
      o.pages.push_back(first);
    }
    systemPages_[id] = o.pages;
    if (Is2000()) {
      uint32_t iam = id == kObjSysObjects                ? kSysObjectsIam
                     : id == kObjSysColumns              ? kSysColumnsIam
                     : id == kObjSysIndexes              ? kSysIndexesIam
                     : taken != systemIamAndFirst_.end() ? taken->second.first
                                                         : layout.Single();
      layout.Put(IamPageFor(iam, id, 0, 0, Singles(o), o.extents), kPfsAllocated | kPfsIam);
    }
  }
}

void CatalogueBuilder::Emit(const Sink& sink) {
  built_.clear();
  systemPages_.clear();
  nextMid_ = kFirstMid;
  systemIamAndFirst_.clear();
  Layout layout(Is2000(), sink);
  PlaceTables(layout);
  if (Is2000()) {
    for (uint32_t id : {kObjSysComments, kObjSysReferences}) {
      uint32_t iam = layout.Single();
      systemIamAndFirst_[id] = {iam, layout.Single()};
    }
    if (!schemas_.empty()) {
      uint32_t iam = layout.Single();
      systemIamAndFirst_[kObjSysUsers] = {iam, layout.Single()};
    }
  }
  SystemRowLists rows = Is2000() ? SystemRows2000() : SystemRows2005();
  if (edit_) edit_(rows);
  PlaceSystemTables(layout, rows);

  uint32_t firstSys = 0;
  uint32_t pointed = Is2000() ? kObjSysIndexes : kObjSysAllocUnits;
  if (systemPages_.count(pointed) && !systemPages_[pointed].empty())
    firstSys = systemPages_[pointed][0];
  layout.Put(BootPageFor(version_, PaddedName(databaseName_), firstSys, databaseCollation_),
             kPfsAllocated);
  pageCount_ = std::max<uint64_t>(layout.End(), 32);

  // One PFS page per interval: page 1, then every 8088 pages.
  std::vector<uint8_t> bytes = layout.PfsBytes();
  bytes.resize(pageCount_, 0);
  bytes[0] = bytes[1] = kPfsAllocated;
  for (uint64_t start = 0; start < pageCount_; start += kPfsInterval) {
    uint32_t at = start == 0 ? 1 : static_cast<uint32_t>(start);
    bytes[at] = kPfsAllocated;
    size_t n = std::min<uint64_t>(kPfsInterval, pageCount_ - start);
    std::vector<uint8_t> interval(bytes.begin() + static_cast<ptrdiff_t>(start),
                                  bytes.begin() + static_cast<ptrdiff_t>(start + n));
    sink(PfsPageFor(at, interval));
  }
}

MdfBuilder CatalogueBuilder::Build() {
  MdfBuilder file(version_, databaseName_);
  Emit([&](const PageBuilder& page) { file.SetPage(page); });
  file.SetPageCount(static_cast<uint32_t>(pageCount_));
  return file;
}

void CatalogueBuilder::WriteTo(const std::string& path) {
  MdfStreamWriter out(path);
  Emit([&](const PageBuilder& page) { out.Write(page); });
  out.Finish(pageCount_);
}

void CatalogueBuilder::SetAllocated(MdfBuilder& file, uint32_t page, bool allocated) {
  uint32_t start = page - page % kPfsInterval;
  uint32_t pfs = start == 0 ? 1 : start;
  file.Page(pfs).Poke(100 + page % kPfsInterval, U8(allocated ? kPfsAllocated : 0));
}

}  // namespace mdftest

namespace mdftest {

std::function<void(std::map<uint32_t, std::vector<ByteVec>>&)> MoveTableRows(
    const CatalogueBuilder& builder, const SecondaryFileSplit& split) {
  return [&builder, split](std::map<uint32_t, std::vector<ByteVec>>& rows) {
    // sysallocunits: first page u32 @27 with its file @31, first IAM page
    // u32 @39 with its file @43.
    const BuiltTable& t = builder.Table(split.tableId);
    for (ByteVec& row : rows[kObjSysAllocUnits]) {
      if (row.size() < 45) continue;
      uint32_t iam = 0;
      for (int i = 3; i >= 0; --i) iam = (iam << 8) | std::to_integer<uint32_t>(row[39 + i]);
      if (iam != t.iamPage) continue;
      if (split.chainFromPrimary) continue;  // both stay in the primary file
      const ByteVec file = U16(split.fileId);
      std::copy(file.begin(), file.end(), row.begin() + 31);
      std::copy(file.begin(), file.end(), row.begin() + 43);
    }
  };
}

MdfBuilder SplitOffSecondaryFile(const CatalogueBuilder& builder, MdfBuilder& primary,
                                 const SecondaryFileSplit& split) {
  const BuiltTable& t = builder.Table(split.tableId);
  MdfBuilder secondary(builder.Version(), u"", primary.PageCount());
  secondary.SetPage(
      FileHeaderPageFor(split.bindingId, split.fileId, split.filegroup, split.logicalName));
  primary.SetPage(FileHeaderPageFor(split.bindingId, 1, 1, u"Primary"));
  const ByteVec file = U16(split.fileId);
  PageBuilder iam = primary.Page(t.iamPage);
  iam.Poke(140, file);  // the interval's file, after its start page
  for (size_t i = 0; i < 8; ++i) iam.Poke(142 + 6 * i + 4, file);
  secondary.SetPage(iam);
  if (split.chainFromPrimary) {
    PageBuilder head =
        IamPageFor(t.iamPage, iam.Header().objectId, iam.Header().indexId, 0, {t.firstPage}, {});
    head.Header().nextPage = t.iamPage;
    head.Header().nextFile = split.fileId;
    primary.SetPage(head);
  } else {
    primary.SetPage(PageBuilder(t.iamPage));
  }
  for (uint32_t n : t.dataPages) {
    PageBuilder page = primary.Page(n);
    const bool stays = split.chainFromPrimary && n == t.firstPage;
    if (page.Header().nextPage) page.Header().nextFile = split.fileId;
    if (page.Header().prevPage) {
      const bool prevStays = split.chainFromPrimary && page.Header().prevPage == t.firstPage;
      page.Header().prevFile = prevStays ? 1 : split.fileId;
    }
    if (stays) {
      primary.SetPage(page);
      continue;
    }
    secondary.SetPage(page);
    primary.SetPage(PageBuilder(n));
  }
  return secondary;
}

}  // namespace mdftest

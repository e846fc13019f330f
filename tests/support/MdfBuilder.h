// Writes synthetic data files from the on-disk format: boot page, pages with
// chosen header fields, slot arrays and data records, torn-page bits. It is
// written from the format itself, not from the reader, so that the two check
// each other.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace mdftest {

using ByteVec = std::vector<std::byte>;

ByteVec U8(uint8_t v);
ByteVec U16(uint16_t v);
ByteVec U32(uint32_t v);
ByteVec U64(uint64_t v);
ByteVec Utf16(const std::u16string& s);
ByteVec Ascii(const std::string& s);
ByteVec Concat(std::initializer_list<ByteVec> parts);

// A data record: status bytes, fixed part, column count, NULL bitmap and
// variable columns. Build() lays it out and fills in the fixed-part end, the
// bitmap size and the end offsets.
class RecordBuilder {
 public:
  RecordBuilder& Status(uint8_t a, uint8_t b = 0);
  // Appends bytes to the fixed part (which starts at record offset 4).
  RecordBuilder& Fixed(const ByteVec& bytes);
  RecordBuilder& Columns(uint16_t count);
  RecordBuilder& Null(uint16_t columnNumber);  // 1-based
  RecordBuilder& Var(const ByteVec& bytes, bool offRow = false);
  // Drops the NULL bitmap / variable part and their status bits.
  RecordBuilder& NoBitmap();
  RecordBuilder& NoVariablePart();

  ByteVec Build() const;

 private:
  uint8_t statusA_ = 0x30;
  uint8_t statusB_ = 0;
  bool statusSet_ = false;
  ByteVec fixed_;
  uint16_t columns_ = 0;
  std::vector<uint16_t> nulls_;
  std::vector<std::pair<ByteVec, bool>> vars_;
  bool bitmap_ = true;
  bool varPart_ = true;
};

struct PageSpec {
  uint8_t type = 1;
  uint16_t flagBits = 0;
  uint16_t indexId = 0;
  uint32_t prevPage = 0;
  uint16_t prevFile = 0;
  uint32_t nextPage = 0;
  uint16_t nextFile = 0;
  uint32_t objectId = 0;
};

class PageBuilder {
 public:
  explicit PageBuilder(uint32_t number = 0) : number_(number) {}
  PageSpec& Header() { return spec_; }
  // Places the record after the ones before it and gives it the next slot;
  // returns its page offset.
  uint16_t AddRecord(const ByteVec& record);
  // Places the record like AddRecord but gives it no slot; AddRawSlot then
  // points slots at records in any order.
  uint16_t PlaceRecord(const ByteVec& record);
  // Whether a record of `size` bytes and its slot still fit the page.
  bool Fits(size_t size) const;
  // A slot holding a raw offset (0 for an empty slot, or a damaged value).
  void AddRawSlot(uint16_t offset);
  // Overrides the stored slot count (for damaged pages).
  void SetSlotCount(uint16_t count) { slotCountOverride_ = count; }
  // Writes bytes at a page offset after everything else is laid out.
  void Poke(size_t offset, const ByteVec& bytes) { pokes_.emplace_back(offset, bytes); }
  // Writes the page with torn-page detection: the low two bits of the last
  // byte of sectors 1..15 are saved in the torn-bits word and replaced on disk
  // by `stamp`.
  void Tear(uint8_t stamp = 0x1) {
    torn_ = true;
    stamp_ = stamp;
  }

  std::array<std::byte, 8192> Build() const;
  uint32_t Number() const { return number_; }
  size_t SlotCount() const { return slots_.size(); }

 private:
  uint32_t number_;
  PageSpec spec_;
  std::vector<uint16_t> slots_;
  ByteVec body_;  // records from page offset 96
  std::vector<std::pair<size_t, ByteVec>> pokes_;
  int slotCountOverride_ = -1;
  bool torn_ = false;
  uint8_t stamp_ = 1;
};

// A whole data file: page 9 is the boot page with the version and name;
// other pages are added by number. Pages not added are zero.
class MdfBuilder {
 public:
  MdfBuilder(uint16_t version, const std::u16string& databaseName, uint32_t pageCount = 16);
  // The name field as stored: exactly these units, the rest of the 128 zero.
  void SetRawName(const std::u16string& units) { rawName_ = units; }
  void SetFirstSysPage(uint32_t page) { firstSysPage_ = page; }
  PageBuilder& Page(uint32_t number);
  // Puts a finished page at its own number, replacing what was there.
  void SetPage(const PageBuilder& page);
  bool HasPage(uint32_t number) const { return pages_.count(number) != 0; }
  void SetPageCount(uint32_t count) { pageCount_ = count; }
  uint32_t PageCount() const { return pageCount_; }
  // Extra bytes after the last whole page (a file that is not a multiple of 8192).
  void SetTail(const ByteVec& tail) { tail_ = tail; }

  ByteVec Build() const;
  // Writes the file page by page, without building it whole in memory.
  void WriteTo(const std::string& path) const;

 private:
  uint16_t version_;
  std::u16string rawName_;
  uint32_t pageCount_;
  uint32_t firstSysPage_ = 0;
  std::map<uint32_t, PageBuilder> pages_;
  ByteVec tail_;
};

// Page 0 of a data file (type 15): one record whose variable columns hold the
// database's binding id (column 0), the file id (2), the filegroup (3) and
// the logical file name (27); the other columns of the 28 are empty.
PageBuilder FileHeaderPageFor(const std::array<std::byte, 16>& bindingId, uint16_t fileId,
                              uint16_t filegroup, const std::u16string& logicalName);

// The boot page (page 9): the boot record with the version at page offset
// 100, the 128-unit name field at 148 and the first-system-page pointer at 612.
PageBuilder BootPageFor(uint16_t version, const std::u16string& rawName, uint32_t firstSysPage = 0,
                        uint32_t collation = 0);

// An IAM page: page type 10; slot 0 the 94-byte IAM header record with the
// start page of the interval it maps at page offset 136 and the eight
// single-page slots (page u32, file u16) at 142; slot 1 the bitmap record (4-byte
// record header, then 7988 bitmap bytes): bit j of byte i set means the extent
// of pages start + 8 (8i + j) .. + 7 belongs to the object. `extentStarts` are
// page numbers, multiples of 8 at or after `startPage`.
PageBuilder IamPageFor(uint32_t number, uint32_t objectId, uint16_t indexId, uint32_t startPage,
                       const std::vector<uint32_t>& singlePages,
                       const std::vector<uint32_t>& extentStarts);
inline constexpr size_t kIamBitmapBytes = 7988;

// A PFS page: page type 11, one record whose 8088 bytes, from page offset 100,
// describe the pages of its interval; bit 0x40 = allocated, 0x20 = an IAM page.
PageBuilder PfsPageFor(uint32_t number, const std::vector<uint8_t>& pageBytes);
inline constexpr uint32_t kPfsInterval = 8088;
inline constexpr uint8_t kPfsAllocated = 0x40;
inline constexpr uint8_t kPfsIam = 0x20;

// Writes a data file page by page at the pages' own positions, so that a
// file of any size is written without holding it in memory. Pages never
// written read as zeros.
class MdfStreamWriter {
 public:
  explicit MdfStreamWriter(const std::string& path);
  ~MdfStreamWriter();
  MdfStreamWriter(const MdfStreamWriter&) = delete;
  MdfStreamWriter& operator=(const MdfStreamWriter&) = delete;

  void Write(const PageBuilder& page);
  void Write(uint32_t number, const std::array<std::byte, 8192>& bytes);
  // Sets the file's size to `pageCount` pages (plus `tail`) and closes it.
  void Finish(uint64_t pageCount, const ByteVec& tail = {});

 private:
  int fd_ = -1;
  std::string path_;
};

// A name padded the way the server pads it: the units, then U+2020 to 128.
std::u16string PaddedName(const std::u16string& name, char16_t pad = u'\u2020');

// A fresh temporary file path, removed by the destructor.
class TempFile {
 public:
  explicit TempFile(const std::string& suffix = ".mdf");
  ~TempFile();
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace mdftest

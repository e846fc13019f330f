#include "tests/support/MdfBuilder.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace mdftest {
namespace {

constexpr size_t kPage = 8192;
constexpr size_t kHeader = 96;

void Put(std::byte* at, const ByteVec& bytes) {
  for (size_t i = 0; i < bytes.size(); ++i) at[i] = bytes[i];
}

template <typename T>
ByteVec Le(T v, size_t n) {
  ByteVec out(n);
  for (size_t i = 0; i < n; ++i)
    out[i] = static_cast<std::byte>((static_cast<uint64_t>(v) >> (8 * i)) & 0xFF);
  return out;
}

}  // namespace

ByteVec U8(uint8_t v) {
  return Le(v, 1);
}
ByteVec U16(uint16_t v) {
  return Le(v, 2);
}
ByteVec U32(uint32_t v) {
  return Le(v, 4);
}
ByteVec U64(uint64_t v) {
  return Le(v, 8);
}

ByteVec Utf16(const std::u16string& s) {
  ByteVec out;
  for (char16_t c : s) {
    out.push_back(static_cast<std::byte>(c & 0xFF));
    out.push_back(static_cast<std::byte>(c >> 8));
  }
  return out;
}

ByteVec Ascii(const std::string& s) {
  ByteVec out;
  for (char c : s) out.push_back(static_cast<std::byte>(c));
  return out;
}

ByteVec Concat(std::initializer_list<ByteVec> parts) {
  ByteVec out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

RecordBuilder& RecordBuilder::Status(uint8_t a, uint8_t b) {
  statusA_ = a;
  statusB_ = b;
  statusSet_ = true;
  return *this;
}

RecordBuilder& RecordBuilder::Fixed(const ByteVec& bytes) {
  fixed_.insert(fixed_.end(), bytes.begin(), bytes.end());
  return *this;
}

RecordBuilder& RecordBuilder::Columns(uint16_t count) {
  columns_ = count;
  return *this;
}

RecordBuilder& RecordBuilder::Null(uint16_t columnNumber) {
  nulls_.push_back(columnNumber);
  return *this;
}

RecordBuilder& RecordBuilder::Var(const ByteVec& bytes, bool offRow) {
  vars_.emplace_back(bytes, offRow);
  return *this;
}

RecordBuilder& RecordBuilder::NoBitmap() {
  bitmap_ = false;
  return *this;
}

RecordBuilder& RecordBuilder::NoVariablePart() {
  varPart_ = false;
  return *this;
}

ByteVec RecordBuilder::Build() const {
  uint8_t a = statusA_;
  if (!statusSet_) {
    a = 0;
    if (bitmap_) a |= 0x10;
    if (varPart_ && !vars_.empty()) a |= 0x20;
  }
  ByteVec out;
  out.push_back(static_cast<std::byte>(a));
  out.push_back(static_cast<std::byte>(statusB_));
  auto fixedEnd = static_cast<uint16_t>(4 + fixed_.size());
  auto fe = U16(fixedEnd);
  out.insert(out.end(), fe.begin(), fe.end());
  out.insert(out.end(), fixed_.begin(), fixed_.end());
  if (bitmap_) {
    auto n = U16(columns_);
    out.insert(out.end(), n.begin(), n.end());
    ByteVec bits((columns_ + 7) / 8);
    for (uint16_t c : nulls_) {
      if (c >= 1 && size_t(c - 1) / 8 < bits.size()) {
        bits[(c - 1) / 8] |= static_cast<std::byte>(1u << ((c - 1) % 8));
      }
    }
    out.insert(out.end(), bits.begin(), bits.end());
  }
  if (varPart_ && !vars_.empty()) {
    auto v = U16(static_cast<uint16_t>(vars_.size()));
    out.insert(out.end(), v.begin(), v.end());
    size_t end = out.size() + 2 * vars_.size();
    for (const auto& [bytes, offRow] : vars_) {
      end += bytes.size();
      auto e = U16(static_cast<uint16_t>(end | (offRow ? 0x8000 : 0)));
      out.insert(out.end(), e.begin(), e.end());
    }
    for (const auto& [bytes, offRow] : vars_) out.insert(out.end(), bytes.begin(), bytes.end());
  }
  return out;
}

uint16_t PageBuilder::AddRecord(const ByteVec& record) {
  uint16_t at = PlaceRecord(record);
  slots_.push_back(at);
  return at;
}

uint16_t PageBuilder::PlaceRecord(const ByteVec& record) {
  if (!Fits(record.size())) throw std::length_error("record does not fit the page");
  auto at = static_cast<uint16_t>(kHeader + body_.size());
  body_.insert(body_.end(), record.begin(), record.end());
  return at;
}

bool PageBuilder::Fits(size_t size) const {
  return kHeader + body_.size() + size <= kPage - 2 * (slots_.size() + 1);
}

void PageBuilder::AddRawSlot(uint16_t offset) {
  slots_.push_back(offset);
}

std::array<std::byte, 8192> PageBuilder::Build() const {
  std::array<std::byte, 8192> p{};
  p[0] = std::byte{1};
  p[1] = static_cast<std::byte>(spec_.type);
  uint16_t flags = spec_.flagBits;
  if (torn_) flags = static_cast<uint16_t>((flags & 0x00FF) | 0x0100);
  Put(&p[4], U16(flags));
  Put(&p[6], U16(spec_.indexId));
  Put(&p[8], U32(spec_.prevPage));
  Put(&p[12], U16(spec_.prevFile));
  Put(&p[16], U32(spec_.nextPage));
  Put(&p[20], U16(spec_.nextFile));
  uint16_t count = slotCountOverride_ >= 0 ? static_cast<uint16_t>(slotCountOverride_)
                                           : static_cast<uint16_t>(slots_.size());
  Put(&p[22], U16(count));
  Put(&p[24], U32(spec_.objectId));
  // The page's own number and file, as every page the server writes carries them.
  Put(&p[32], U32(number_));
  Put(&p[36], U16(1));
  Put(&p[32], U32(number_));
  Put(&p[36], U16(1));
  Put(&p[kHeader], body_);
  for (size_t k = 0; k < slots_.size(); ++k) Put(&p[kPage - 2 - 2 * k], U16(slots_[k]));
  for (const auto& [offset, bytes] : pokes_) Put(&p[offset], bytes);
  if (torn_) {
    uint32_t word = stamp_ & 0x3;
    for (unsigned k = 1; k < 16; ++k) {
      size_t at = 512 * k + 511;
      auto b = static_cast<uint8_t>(p[at]);
      word |= static_cast<uint32_t>(b & 0x3) << (2 * k);
      p[at] = static_cast<std::byte>((b & 0xFC) | (stamp_ & 0x3));
    }
    Put(&p[60], U32(word));
  }
  return p;
}

MdfBuilder::MdfBuilder(uint16_t version, const std::u16string& databaseName, uint32_t pageCount)
    : version_(version), rawName_(PaddedName(databaseName)), pageCount_(pageCount) {}

PageBuilder& MdfBuilder::Page(uint32_t number) {
  auto it = pages_.find(number);
  if (it == pages_.end()) it = pages_.emplace(number, PageBuilder(number)).first;
  if (number >= pageCount_) pageCount_ = number + 1;
  return it->second;
}

void MdfBuilder::SetPage(const PageBuilder& page) {
  pages_.insert_or_assign(page.Number(), page);
  if (page.Number() >= pageCount_) pageCount_ = page.Number() + 1;
}

PageBuilder BootPageFor(uint16_t version, const std::u16string& rawName, uint32_t firstSysPage,
                        uint32_t collation) {
  PageBuilder boot(9);
  boot.Header().type = 13;
  // The boot record: 4-byte header, then the version at page offset 100.
  ByteVec record(8192 - 96 - 2 - 96, std::byte{0});
  record[0] = std::byte{0x30};
  Put(&record[2], U16(8));
  Put(&record[4], U16(version));
  std::u16string name = rawName.substr(0, 128);
  Put(&record[148 - 96], Utf16(name));
  Put(&record[488 - 96], U32(collation));
  Put(&record[612 - 96], U32(firstSysPage));
  Put(&record[616 - 96], U16(1));
  boot.AddRecord(record);
  return boot;
}

PageBuilder FileHeaderPageFor(const std::array<std::byte, 16>& bindingId, uint16_t fileId,
                              uint16_t filegroup, const std::u16string& logicalName) {
  PageBuilder page(0);
  page.Header().type = 15;
  RecordBuilder record;
  record.Fixed(U32(0)).Columns(28);
  for (int column = 0; column < 28; ++column) {
    switch (column) {
      case 0:
        record.Var(ByteVec(bindingId.begin(), bindingId.end()));
        break;
      case 2:
        record.Var(U16(fileId));
        break;
      case 3:
        record.Var(U16(filegroup));
        break;
      case 27:
        record.Var(Utf16(logicalName));
        break;
      default:
        record.Var({});
    }
  }
  page.AddRecord(record.Build());
  return page;
}

PageBuilder IamPageFor(uint32_t number, uint32_t objectId, uint16_t indexId, uint32_t startPage,
                       const std::vector<uint32_t>& singlePages,
                       const std::vector<uint32_t>& extentStarts) {
  if (singlePages.size() > 8) throw std::logic_error("an IAM page has eight single-page slots");
  PageBuilder iam(number);
  iam.Header().type = 10;
  iam.Header().objectId = objectId;
  iam.Header().indexId = indexId;
  // Slot 0: the IAM header record, 94 bytes; page offsets 136 and 142 are its
  // record offsets 40 and 46.
  ByteVec header(94, std::byte{0});
  Put(&header[2], U16(94));
  Put(&header[40], U32(startPage));
  Put(&header[44], U16(1));
  for (size_t i = 0; i < singlePages.size(); ++i) {
    Put(&header[46 + 6 * i], U32(singlePages[i]));
    Put(&header[46 + 6 * i + 4], U16(singlePages[i] ? 1 : 0));
  }
  iam.AddRecord(header);
  // Slot 1: the extent bitmap record.
  ByteVec bitmap(4 + kIamBitmapBytes, std::byte{0});
  Put(&bitmap[2], U16(static_cast<uint16_t>(bitmap.size())));
  for (uint32_t first : extentStarts) {
    if (first < startPage || (first - startPage) % 8 != 0) {
      throw std::logic_error("an extent starts on a multiple of 8 inside the interval");
    }
    uint32_t extent = (first - startPage) / 8;
    if (extent / 8 >= kIamBitmapBytes) throw std::logic_error("extent outside the interval");
    bitmap[4 + extent / 8] |= static_cast<std::byte>(1u << (extent % 8));
  }
  iam.AddRecord(bitmap);
  return iam;
}

PageBuilder PfsPageFor(uint32_t number, const std::vector<uint8_t>& pageBytes) {
  PageBuilder pfs(number);
  pfs.Header().type = 11;
  pfs.Header().objectId = 99;
  ByteVec record(4 + kPfsInterval, std::byte{0});
  Put(&record[2], U16(static_cast<uint16_t>(record.size())));
  for (size_t i = 0; i < pageBytes.size() && i < kPfsInterval; ++i) {
    record[4 + i] = static_cast<std::byte>(pageBytes[i]);
  }
  pfs.AddRecord(record);
  return pfs;
}

ByteVec MdfBuilder::Build() const {
  ByteVec file(size_t{pageCount_} * kPage, std::byte{0});
  if (pageCount_ > 9 && !pages_.count(9)) {
    auto boot = BootPageFor(version_, rawName_, firstSysPage_).Build();
    Put(&file[9 * kPage], ByteVec(boot.begin(), boot.end()));
  }
  for (const auto& [n, builder] : pages_) {
    if (n >= pageCount_) continue;
    auto page = builder.Build();
    Put(&file[size_t{n} * kPage], ByteVec(page.begin(), page.end()));
  }
  file.insert(file.end(), tail_.begin(), tail_.end());
  return file;
}

void MdfBuilder::WriteTo(const std::string& path) const {
  MdfStreamWriter out(path);
  if (pageCount_ > 9 && !pages_.count(9)) out.Write(BootPageFor(version_, rawName_, firstSysPage_));
  for (const auto& [n, builder] : pages_) {
    if (n < pageCount_) out.Write(builder);
  }
  out.Finish(pageCount_, tail_);
}

MdfStreamWriter::MdfStreamWriter(const std::string& path) : path_(path) {
  fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd_ < 0) throw std::runtime_error("cannot write " + path);
}

MdfStreamWriter::~MdfStreamWriter() {
  if (fd_ >= 0) ::close(fd_);
}

void MdfStreamWriter::Write(const PageBuilder& page) {
  Write(page.Number(), page.Build());
}

void MdfStreamWriter::Write(uint32_t number, const std::array<std::byte, 8192>& bytes) {
  const auto* data = reinterpret_cast<const char*>(bytes.data());
  off_t at = static_cast<off_t>(number) * static_cast<off_t>(kPage);
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::pwrite(fd_, data + done, bytes.size() - done, at + static_cast<off_t>(done));
    if (n <= 0) throw std::runtime_error("cannot write " + path_);
    done += static_cast<size_t>(n);
  }
}

void MdfStreamWriter::Finish(uint64_t pageCount, const ByteVec& tail) {
  off_t size = static_cast<off_t>(pageCount * kPage);
  if (::ftruncate(fd_, size) != 0) throw std::runtime_error("cannot size " + path_);
  if (!tail.empty()) {
    const auto* data = reinterpret_cast<const char*>(tail.data());
    if (::pwrite(fd_, data, tail.size(), size) != static_cast<ssize_t>(tail.size())) {
      throw std::runtime_error("cannot write " + path_);
    }
  }
  if (::close(fd_) != 0) {
    fd_ = -1;
    throw std::runtime_error("cannot close " + path_);
  }
  fd_ = -1;
}

std::u16string PaddedName(const std::u16string& name, char16_t pad) {
  std::u16string out = name.substr(0, 128);
  out.resize(128, pad);
  return out;
}

TempFile::TempFile(const std::string& suffix) {
  const char* dir = std::getenv("TMPDIR");
  std::string tmpl = std::string(dir && *dir ? dir : "/tmp") + "/mendora-XXXXXX" + suffix;
  std::vector<char> buf(tmpl.begin(), tmpl.end());
  buf.push_back('\0');
  int fd = ::mkstemps(buf.data(), static_cast<int>(suffix.size()));
  if (fd < 0) throw std::runtime_error("cannot make a temporary file");
  ::close(fd);
  path_ = buf.data();
}

TempFile::~TempFile() {
  std::remove(path_.c_str());
}

}  // namespace mdftest

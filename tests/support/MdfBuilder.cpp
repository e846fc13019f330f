#include "tests/support/MdfBuilder.h"

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
  for (size_t i = 0; i < n; ++i) out[i] = static_cast<std::byte>((static_cast<uint64_t>(v) >> (8 * i)) & 0xFF);
  return out;
}

}  // namespace

ByteVec U8(uint8_t v) { return Le(v, 1); }
ByteVec U16(uint16_t v) { return Le(v, 2); }
ByteVec U32(uint32_t v) { return Le(v, 4); }
ByteVec U64(uint64_t v) { return Le(v, 8); }

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
  auto at = static_cast<uint16_t>(kHeader + body_.size());
  if (at + record.size() > kPage - 2 * (slots_.size() + 1)) {
    throw std::length_error("record does not fit the page");
  }
  body_.insert(body_.end(), record.begin(), record.end());
  slots_.push_back(at);
  return at;
}

void PageBuilder::AddRawSlot(uint16_t offset) { slots_.push_back(offset); }

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

std::array<std::byte, 8192> MdfBuilder::BootPage() const {
  PageBuilder boot(9);
  boot.Header().type = 13;
  // The boot record: 4-byte header, then the version at page offset 100.
  ByteVec record(8192 - 96 - 2 - 96, std::byte{0});
  record[0] = std::byte{0x30};
  Put(&record[2], U16(8));
  Put(&record[4], U16(version_));
  std::u16string name = rawName_.substr(0, 128);
  Put(&record[148 - 96], Utf16(name));
  Put(&record[612 - 96], U32(firstSysPage_));
  Put(&record[616 - 96], U16(1));
  boot.AddRecord(record);
  return boot.Build();
}

ByteVec MdfBuilder::Build() const {
  ByteVec file(size_t{pageCount_} * kPage, std::byte{0});
  if (pageCount_ > 9 && !pages_.count(9)) {
    auto boot = BootPage();
    Put(&file[9 * kPage], ByteVec(boot.begin(), boot.end()));
  }
  for (const auto& [n, builder] : pages_) {
    auto page = builder.Build();
    Put(&file[size_t{n} * kPage], ByteVec(page.begin(), page.end()));
  }
  file.insert(file.end(), tail_.begin(), tail_.end());
  return file;
}

void MdfBuilder::WriteTo(const std::string& path) const {
  auto bytes = Build();
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
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

TempFile::~TempFile() { std::remove(path_.c_str()); }

}  // namespace mdftest

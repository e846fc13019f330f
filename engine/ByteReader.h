// Little-endian reads over a span of file bytes. Every read is checked against
// the span: a read that would pass its end yields nothing, so a damaged offset
// taken from a page can never make the reader look outside that page.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace mendora {

using Bytes = std::span<const std::byte>;

class ByteReader {
 public:
  ByteReader() = default;
  explicit ByteReader(Bytes data) : data_(data) {}

  size_t size() const { return data_.size(); }
  Bytes bytes() const { return data_; }

  bool Has(size_t offset, size_t count) const {
    return offset <= data_.size() && count <= data_.size() - offset;
  }

  std::optional<uint8_t> u8(size_t offset) const {
    if (!Has(offset, 1)) return std::nullopt;
    return static_cast<uint8_t>(data_[offset]);
  }
  std::optional<uint16_t> u16(size_t offset) const { return Unsigned<uint16_t>(offset); }
  std::optional<uint32_t> u32(size_t offset) const { return Unsigned<uint32_t>(offset); }
  std::optional<uint64_t> u64(size_t offset) const { return Unsigned<uint64_t>(offset); }
  std::optional<int16_t> i16(size_t offset) const {
    auto v = u16(offset);
    if (!v) return std::nullopt;
    return static_cast<int16_t>(*v);
  }
  std::optional<int32_t> i32(size_t offset) const {
    auto v = u32(offset);
    if (!v) return std::nullopt;
    return static_cast<int32_t>(*v);
  }
  std::optional<int64_t> i64(size_t offset) const {
    auto v = u64(offset);
    if (!v) return std::nullopt;
    return static_cast<int64_t>(*v);
  }

  // The bytes [offset, offset + count), or nothing when they are not all present.
  std::optional<Bytes> Slice(size_t offset, size_t count) const {
    if (!Has(offset, count)) return std::nullopt;
    return data_.subspan(offset, count);
  }

 private:
  template <typename T>
  std::optional<T> Unsigned(size_t offset) const {
    if (!Has(offset, sizeof(T))) return std::nullopt;
    T value = 0;
    for (size_t i = 0; i < sizeof(T); ++i) {
      value |= static_cast<T>(static_cast<T>(static_cast<uint8_t>(data_[offset + i])) << (8 * i));
    }
    return value;
  }

  Bytes data_;
};

// Reads of the fields of one row. A read past the row gives 0 (an empty span
// for a slice) and is remembered, so a decoder reads every field it needs and
// asks once at the end whether all of them were there.
class RowReader {
 public:
  explicit RowReader(Bytes row) : reader_(row) {}

  uint8_t U8(size_t offset) { return Take(reader_.u8(offset), offset); }
  uint16_t U16(size_t offset) { return Take(reader_.u16(offset), offset); }
  uint32_t U32(size_t offset) { return Take(reader_.u32(offset), offset); }
  uint64_t U64(size_t offset) { return Take(reader_.u64(offset), offset); }
  int16_t I16(size_t offset) { return Take(reader_.i16(offset), offset); }
  int32_t I32(size_t offset) { return Take(reader_.i32(offset), offset); }
  Bytes Slice(size_t offset, size_t count) { return Take(reader_.Slice(offset, count), offset); }

  // True while every read so far found its bytes.
  bool Ok() const { return !firstFailure_; }
  const ByteReader& Row() const { return reader_; }

 private:
  template <typename T>
  T Take(std::optional<T> value, size_t offset) {
    if (value) return *value;
    if (!firstFailure_) firstFailure_ = offset;
    return T{};
  }

  ByteReader reader_;
  std::optional<size_t> firstFailure_;
};

// Reads that the caller has already bounds-checked (fixed offsets inside a
// buffer of known size, such as the 96-byte page header).
inline uint16_t LoadU16(Bytes data, size_t offset) {
  return static_cast<uint16_t>(static_cast<uint8_t>(data[offset]) |
                               (static_cast<uint8_t>(data[offset + 1]) << 8));
}
inline uint32_t LoadU32(Bytes data, size_t offset) {
  return static_cast<uint32_t>(LoadU16(data, offset)) |
         (static_cast<uint32_t>(LoadU16(data, offset + 2)) << 16);
}

}  // namespace mendora

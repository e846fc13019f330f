#include "browser/Picture.h"

#include <algorithm>
#include <array>

#include "engine/ByteReader.h"

namespace mendora {
namespace {

// How far into an OLE object the picture may start.
constexpr size_t kOleSearch = 512;
constexpr size_t kBmpHeader = 14;

bool StartsWith(std::span<const std::byte> bytes, size_t at, std::span<const uint8_t> magic) {
  if (at > bytes.size() || bytes.size() - at < magic.size()) return false;
  for (size_t i = 0; i < magic.size(); ++i) {
    if (std::to_integer<uint8_t>(bytes[at + i]) != magic[i]) return false;
  }
  return true;
}

bool IsBmpAt(std::span<const std::byte> bytes, size_t at) {
  static constexpr std::array<uint8_t, 2> kBm = {'B', 'M'};
  if (!StartsWith(bytes, at, kBm)) return false;
  const ByteReader r(bytes.subspan(at));
  const std::optional<uint32_t> size = r.u32(2);
  return size && *size >= kBmpHeader && *size <= bytes.size() - at;
}

}  // namespace

PictureSpan FindPicture(std::span<const std::byte> bytes) {
  static constexpr std::array<uint8_t, 8> kPng = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  static constexpr std::array<uint8_t, 3> kJpeg = {0xFF, 0xD8, 0xFF};
  static constexpr std::array<uint8_t, 6> kGif87 = {'G', 'I', 'F', '8', '7', 'a'};
  static constexpr std::array<uint8_t, 6> kGif89 = {'G', 'I', 'F', '8', '9', 'a'};
  static constexpr std::array<uint8_t, 2> kOle = {0x15, 0x1C};
  if (StartsWith(bytes, 0, kPng)) return {PictureFormat::kPng, 0};
  if (StartsWith(bytes, 0, kJpeg)) return {PictureFormat::kJpeg, 0};
  if (StartsWith(bytes, 0, kGif87) || StartsWith(bytes, 0, kGif89)) {
    return {PictureFormat::kGif, 0};
  }
  if (IsBmpAt(bytes, 0)) return {PictureFormat::kBmp, 0};
  if (StartsWith(bytes, 0, kOle)) {
    const size_t end = std::min(bytes.size(), kOleSearch);
    for (size_t at = kOle.size(); at < end; ++at) {
      if (IsBmpAt(bytes, at)) return {PictureFormat::kBmp, at};
    }
  }
  return {};
}

const char* PictureFormatName(PictureFormat format) {
  switch (format) {
    case PictureFormat::kPng:
      return "PNG";
    case PictureFormat::kJpeg:
      return "JPEG";
    case PictureFormat::kGif:
      return "GIF";
    case PictureFormat::kBmp:
      return "BMP";
    case PictureFormat::kNone:
      break;
  }
  return "";
}

std::string PictureLabel(size_t bytes) {
  if (bytes < 1024) return "(image, " + std::to_string(bytes) + " bytes)";
  return "(image, " + std::to_string((bytes + 1023) / 1024) + " KB)";
}

}  // namespace mendora

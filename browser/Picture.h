// Pictures stored in binary columns: which format the bytes hold, and where
// the picture starts. Old databases keep their pictures behind an OLE object
// header (Northwind's Categories.Picture and Employees.Photo: the 0x1C15
// signature, the class "Bitmap Image"/"Paint.Picture" and then a BMP file),
// so a BMP is also looked for a little way into bytes that start with that
// signature.
//
//   format  starts with                          notes
//   PNG     89 50 4E 47 0D 0A 1A 0A
//   JPEG    FF D8 FF
//   GIF     "GIF87a" or "GIF89a"
//   BMP     "BM", then the file size (u32 LE)     the size must fit the bytes
//   OLE     15 1C                                 a BMP within its first 512 bytes
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace mendora {

enum class PictureFormat : uint8_t { kNone, kPng, kJpeg, kGif, kBmp };

struct PictureSpan {
  PictureFormat format = PictureFormat::kNone;
  size_t offset = 0;  // where the picture's own bytes start
};

PictureSpan FindPicture(std::span<const std::byte> bytes);
// "PNG", "JPEG", "GIF", "BMP"; "" for none.
const char* PictureFormatName(PictureFormat format);
// "(image, 21 KB)": the size of the whole value, in KB rounded up, or in
// bytes below 1 KB.
std::string PictureLabel(size_t bytes);

}  // namespace mendora

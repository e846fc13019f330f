// The open data file. It is opened read-only and locked exclusively, so a file
// that another process (a running server, a second copy of this program) holds
// is refused, and nothing here can ever write to it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace mendora {

class CFile64 {
 public:
  CFile64() = default;
  ~CFile64();
  CFile64(const CFile64&) = delete;
  CFile64& operator=(const CFile64&) = delete;

  // False when the file is missing, unreadable or locked by someone else;
  // errno then tells why. An open file is closed first.
  bool Open(const std::string& path);
  // Throws FileError when the close fails; the object is closed either way.
  void Close();
  bool IsOpen() const { return fd_ >= 0; }
  const std::string& Path() const { return path_; }

  // Throws FileError.
  uint64_t GetFileSize() const;

  // Reads up to buffer.size() bytes at offset; returns how many were read
  // (fewer only at the end of the file). Throws FileError on a failed read.
  size_t ReadAt(uint64_t offset, std::span<std::byte> buffer) const;

 private:
  int fd_ = -1;
  std::string path_;
};

}  // namespace mendora

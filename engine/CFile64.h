// The open data file. It is opened read-only with a shared lock: any number of
// our readers (the window, the command line) read one file together, while a
// file that another process holds exclusively (a running server, a writer) is
// refused. Nothing here can ever write to it. Only regular files are opened:
// a FIFO, a device or a folder is refused without blocking.
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

  // False when the file is missing, unreadable, not a regular file or held
  // exclusively by someone else; errno then tells why (ENOTREG-like cases set
  // NotRegular()). An open file is closed first.
  bool Open(const std::string& path);
  // After a failed Open: the path named something other than a regular file.
  bool NotRegular() const { return notRegular_; }
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
  bool notRegular_ = false;
};

}  // namespace mendora

#include "engine/CFile64.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "engine/FileError.h"

namespace mendora {

CFile64::~CFile64() {
  if (fd_ >= 0) ::close(fd_);
}

bool CFile64::Open(const std::string& path) {
  if (IsOpen()) {
    ::close(fd_);
    fd_ = -1;
    path_.clear();
  }
  notRegular_ = false;
  // Without O_NONBLOCK, opening a FIFO that nobody writes would wait forever.
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    int err = errno;
    ::close(fd);
    errno = err;
    return false;
  }
  if (!S_ISREG(st.st_mode)) {
    ::close(fd);
    notRegular_ = true;
    errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    return false;
  }
  // Reads of a regular file never block; the flag is dropped all the same.
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  if (::flock(fd, LOCK_SH | LOCK_NB) != 0) {
    int err = errno;
    ::close(fd);
    errno = err;
    return false;
  }
  fd_ = fd;
  path_ = path;
  return true;
}

void CFile64::Close() {
  if (fd_ < 0) return;
  int fd = fd_;
  fd_ = -1;
  path_.clear();
  if (::close(fd) != 0) throw FileError("Closing the data file failed", errno);
}

uint64_t CFile64::GetFileSize() const {
  struct stat st {};
  if (fd_ < 0) throw FileError("The data file is not open", EBADF);
  if (::fstat(fd_, &st) != 0) throw FileError("Reading the data file's size failed", errno);
  return static_cast<uint64_t>(st.st_size);
}

size_t CFile64::ReadAt(uint64_t offset, std::span<std::byte> buffer) const {
  if (fd_ < 0) throw FileError("The data file is not open", EBADF);
  size_t done = 0;
  while (done < buffer.size()) {
    ssize_t n =
        ::pread(fd_, buffer.data() + done, buffer.size() - done, static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      throw FileError("Reading the data file at byte " + std::to_string(offset + done) + " failed",
                      errno);
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return done;
}

}  // namespace mendora

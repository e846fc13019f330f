#include "export/ScriptFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "engine/CodePage.h"
#include "engine/Utf16.h"

namespace mendora {
namespace {

constexpr size_t kBufferSize = 1 << 16;
constexpr char kByteOrderMark[] = {'\xFF', '\xFE'};

void PutUtf16Le(std::u16string_view text, char* to) {
  if (text.empty()) return;
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(to, text.data(), 2 * text.size());
    return;
  }
  for (char16_t unit : text) {
    *to++ = static_cast<char>(unit & 0xFF);
    *to++ = static_cast<char>(unit >> 8);
  }
}

}  // namespace

ScriptFile::~ScriptFile() {
  if (fd_ >= 0) ::close(fd_);
}

bool ScriptFile::Fail(const std::string& what, int error) {
  if (error_.empty()) error_ = what + " " + path_ + ": " + std::strerror(error);
  used_ = 0;
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  return false;
}

bool ScriptFile::Open(const std::string& path, Mode mode, Text text) {
  if (fd_ >= 0) Close();
  path_ = path;
  text_ = text;
  unicode_ = false;
  error_.clear();
  used_ = 0;
  int flags = O_RDWR | O_CLOEXEC;
  if (mode == Mode::kCreate) flags |= O_CREAT | O_TRUNC;
  if (mode == Mode::kAppend) {
    flags |= O_CREAT;
    // A read-only file of an earlier save is made writable, as the batch
    // files are meant to be appended to.
    struct stat st;
    if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && !(st.st_mode & S_IWUSR)) {
      ::chmod(path.c_str(), st.st_mode | S_IWUSR);
    }
  }
  fd_ = ::open(path.c_str(), flags, 0644);
  if (fd_ < 0) return Fail("cannot open", errno);
  struct stat st;
  if (::fstat(fd_, &st) != 0) return Fail("cannot open", errno);
  if (!S_ISREG(st.st_mode)) return Fail("cannot open", EISDIR);
  if (st.st_size >= 2) {
    char head[2];
    if (::pread(fd_, head, 2, 0) == 2 && head[0] == kByteOrderMark[0] &&
        head[1] == kByteOrderMark[1]) {
      unicode_ = true;
    }
  }
  if (::lseek(fd_, 0, SEEK_END) < 0) return Fail("cannot open", errno);
  return true;
}

bool ScriptFile::WriteBytes(const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd_, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return Fail("cannot write", n < 0 ? errno : ENOSPC);
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

char* ScriptFile::Room(size_t n) {
  if (!buffer_ || room_ - used_ < n) {
    const size_t grown = std::max({room_ * 2, used_ + n, 2 * kBufferSize});
    auto bigger = std::make_unique_for_overwrite<char[]>(grown);
    if (used_) std::memcpy(bigger.get(), buffer_.get(), used_);
    buffer_ = std::move(bigger);
    room_ = grown;
  }
  return buffer_.get() + used_;
}

bool ScriptFile::Flush() {
  if (fd_ < 0) return false;
  if (used_ == 0) return true;
  const bool ok = WriteBytes(buffer_.get(), used_);
  used_ = 0;
  // A value of many megabytes leaves a large block: not kept for the
  // small writes that follow.
  if (room_ > 16 * kBufferSize) {
    buffer_.reset();
    room_ = 0;
  }
  return ok;
}

bool ScriptFile::SwitchToUnicode() {
  if (!Flush()) return false;
  const off_t size = ::lseek(fd_, 0, SEEK_END);
  if (size < 0) return Fail("cannot read back", errno);
  std::string bytes(static_cast<size_t>(size), '\0');
  for (size_t done = 0; done < bytes.size();) {
    const ssize_t n = ::pread(fd_, bytes.data() + done, bytes.size() - done, done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return Fail("cannot read back", n < 0 ? errno : EIO);
    done += static_cast<size_t>(n);
  }
  const std::u16string text = FromCodePage(std::string_view(bytes));
  std::string converted(kByteOrderMark, sizeof kByteOrderMark);
  converted.resize(converted.size() + 2 * text.size());
  PutUtf16Le(text, converted.data() + sizeof kByteOrderMark);
  if (::ftruncate(fd_, 0) != 0 || ::lseek(fd_, 0, SEEK_SET) != 0) {
    return Fail("cannot rewrite", errno);
  }
  unicode_ = true;
  return WriteBytes(converted.data(), converted.size());
}

bool ScriptFile::Write(std::u16string_view text) {
  if (fd_ < 0) return false;
  if (!unicode_) {
    // Each character into the code page, until one has no place there; then
    // the file turns into UTF-16 and takes the text whole. Most text is
    // ASCII, taken eight characters at a time.
    char* const start = Room(text.size());
    bool fits = true;
    for (size_t i = NarrowAscii(text, start); i < text.size(); ++i) {
      const char16_t unit = text[i];
      if (unit < 0x80) {
        start[i] = static_cast<char>(unit);
        continue;
      }
      const bool surrogate = unit >= 0xD800 && unit <= 0xDFFF;
      const unsigned char byte = surrogate ? '?' : UnicodeToCodePage(unit);
      if (byte == '?' && text_ == Text::kUnicodeWhenNeeded) {
        fits = false;
        break;
      }
      start[i] = static_cast<char>(byte);
    }
    if (fits) {
      used_ += text.size();
    } else if (!SwitchToUnicode()) {
      return false;
    }
  }
  if (unicode_) {
    PutUtf16Le(text, Room(2 * text.size()));
    used_ += 2 * text.size();
  }
  return used_ < kBufferSize || Flush();
}

bool ScriptFile::Close() {
  if (fd_ < 0) return error_.empty();
  const bool flushed = Flush();
  if (fd_ < 0) return false;
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) return Fail("cannot close", errno);
  return flushed;
}

}  // namespace mendora

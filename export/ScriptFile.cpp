#include "export/ScriptFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/CodePage.h"

namespace mendora {
namespace {

constexpr size_t kBufferSize = 1 << 16;
constexpr char kByteOrderMark[] = {'\xFF', '\xFE'};

void AppendUtf16Le(std::u16string_view text, std::string& out) {
  const size_t start = out.size();
  out.resize(start + 2 * text.size());
  char* to = out.data() + start;
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(to, text.data(), 2 * text.size());
    return;
  }
  for (char16_t unit : text) {
    *to++ = static_cast<char>(unit & 0xFF);
    *to++ = static_cast<char>(unit >> 8);
  }
}

// Whether every character is ASCII, looked at four at a time.
bool AllAscii(std::u16string_view text) {
  uint64_t seen = 0;
  size_t i = 0;
  for (; i + 4 <= text.size(); i += 4) {
    uint64_t four;
    std::memcpy(&four, text.data() + i, sizeof four);
    seen |= four;
  }
  for (; i < text.size(); ++i) seen |= text[i];
  return (seen & 0xFF80FF80FF80FF80ULL) == 0;
}

// ASCII text to its bytes, four characters at a time where the host is
// little-endian.
void NarrowAscii(std::u16string_view text, char* out) {
  size_t i = 0;
  if constexpr (std::endian::native == std::endian::little) {
    for (; i + 4 <= text.size(); i += 4) {
      uint64_t four;
      std::memcpy(&four, text.data() + i, sizeof four);
      const auto bytes =
          static_cast<uint32_t>((four & 0xFF) | ((four >> 8) & 0xFF00) | ((four >> 16) & 0xFF0000) |
                                ((four >> 24) & 0xFF000000));
      std::memcpy(out + i, &bytes, sizeof bytes);
    }
  }
  for (; i < text.size(); ++i) out[i] = static_cast<char>(text[i]);
}

}  // namespace

ScriptFile::~ScriptFile() {
  if (fd_ >= 0) ::close(fd_);
}

bool ScriptFile::Fail(const std::string& what, int error) {
  if (error_.empty()) error_ = what + " " + path_ + ": " + std::strerror(error);
  buffer_.clear();
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
  buffer_.clear();
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

bool ScriptFile::Flush() {
  if (fd_ < 0) return false;
  if (buffer_.empty()) return true;
  const bool ok = WriteBytes(buffer_.data(), buffer_.size());
  buffer_.clear();
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
  std::string converted(kByteOrderMark, sizeof kByteOrderMark);
  AppendUtf16Le(FromCodePage(std::string_view(bytes)), converted);
  if (::ftruncate(fd_, 0) != 0 || ::lseek(fd_, 0, SEEK_SET) != 0) {
    return Fail("cannot rewrite", errno);
  }
  unicode_ = true;
  return WriteBytes(converted.data(), converted.size());
}

bool ScriptFile::Write(std::u16string_view text) {
  if (fd_ < 0) return false;
  if (!unicode_) {
    // One pass: each character into the code page, until one has no place
    // there; then the file turns into UTF-16 and takes the text whole.
    const size_t start = buffer_.size();
    buffer_.resize(start + text.size());
    char* out = buffer_.data() + start;
    // Most text is ASCII: seen so in one pass, it is copied in another,
    // both without a branch for each character.
    if (AllAscii(text)) {
      NarrowAscii(text, out);
      return buffer_.size() < kBufferSize || Flush();
    }
    bool fits = true;
    for (char16_t unit : text) {
      if (unit < 0x80) {
        *out++ = static_cast<char>(unit);
        continue;
      }
      const bool surrogate = unit >= 0xD800 && unit <= 0xDFFF;
      const unsigned char byte = surrogate ? '?' : UnicodeToCodePage(unit);
      if (byte == '?' && text_ == Text::kUnicodeWhenNeeded) {
        fits = false;
        break;
      }
      *out++ = static_cast<char>(byte);
    }
    if (!fits) {
      buffer_.resize(start);
      if (!SwitchToUnicode()) return false;
    }
  }
  if (unicode_) AppendUtf16Le(text, buffer_);
  return buffer_.size() < kBufferSize || Flush();
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

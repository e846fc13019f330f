// The open data file. Pages are read into buffers their callers own, so that a
// reader can hold several pages at once (a row and the large-object page its
// value continues on) and two readers never share one. Every decoder reads
// pages through ReadPage; the whole-file scan and a few fixed fields use
// ReadDirect.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "engine/CFile64.h"
#include "engine/PageLayout.h"
#include "engine/Version.h"

namespace mendora {

// Why a file was not taken. The engine only tells; the caller words it.
enum class Refusal : uint8_t {
  kHeldByAnotherProcess,  // another process holds the file's lock
  kCannotOpen,            // missing or unreadable: errno tells why
  kNotRegularFile,        // a folder, a FIFO, a device
  kNotADataFile,          // too short to hold the boot page's version
  kUnsupportedVersion,    // a version other than 539, 611 and 655
};

class DataFile {
 public:
  bool Open(const std::string& path) { return file_.Open(path); }
  // Why the last Open failed, from what it left (errno included).
  Refusal LastOpenRefusal(int error) const;
  void Close() { file_.Close(); }
  bool IsOpen() const { return file_.IsOpen(); }
  const std::string& Path() const { return file_.Path(); }

  // The size taken by the version test and kept for the analysis.
  uint64_t FileSize() const { return fileSize_; }
  uint64_t PageCount() const { return fileSize_ / kPageSize; }
  const VersionFlags& Version() const { return version_; }

  // Reads page n into `page`: zero-filled first, so a page at or past the end
  // of the file reads as zeros where nothing was stored; torn-page bits are
  // put back. Throws FileError when the read fails.
  void ReadPage(uint64_t pageNumber, PageBuffer& page) const;
  PageBuffer ReadPage(uint64_t pageNumber) const {
    PageBuffer page;
    ReadPage(pageNumber, page);
    return page;
  }

  // Reads bytes at an absolute offset without repair; returns how many were read.
  size_t ReadDirect(uint64_t offset, std::span<std::byte> buffer) const {
    return file_.ReadAt(offset, buffer);
  }

  // The version test: takes the file size, reads the version at byte 73828 and
  // sets the flag of a supported version. False, with no flag set, otherwise.
  bool DetectVersion();
  // Whether the file reads as a data file of any version: long enough to hold
  // the boot page, and page 9 says it is one. After DetectVersion.
  bool LooksLikeDataFile() const;

 private:
  CFile64 file_;
  uint64_t fileSize_ = 0;
  VersionFlags version_;
};

// Runs the version test; on a supported version runs `analyse`, otherwise
// passes the refusal to `refuse` and closes the file.
bool DetectVersionAndAnalyse(DataFile& file, const std::function<void()>& analyse,
                             const std::function<void(Refusal refusal)>& refuse);

}  // namespace mendora

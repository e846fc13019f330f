// The open data file. Pages are read into buffers their callers own, so that a
// reader can hold several pages at once (a row and the large-object page its
// value continues on) and two readers never share one. Every decoder reads
// pages through ReadPage; the whole-file scan and a few fixed fields use
// ReadDirect.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

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
  kUnsupportedVersion,    // a version no release writes (engine/Version.h)
};

// A page of the database: the page number in bits 0..31 and, for a page of a
// secondary data file, that file's id in bits 32..47. A page of the primary
// file (file id 1, or 0 where a pointer leaves the file out) is its page
// number alone, so every page number of a one-file database is its own key.
inline constexpr uint16_t kPrimaryFileId = 1;
inline constexpr uint64_t PageKey(uint32_t page, uint16_t fileId) {
  return fileId <= kPrimaryFileId ? page : (uint64_t{fileId} << 32) | page;
}
inline constexpr uint16_t FileIdOf(uint64_t key) {
  return key >> 32 ? static_cast<uint16_t>(key >> 32) : kPrimaryFileId;
}
inline constexpr uint32_t PageNumberOf(uint64_t key) {
  return static_cast<uint32_t>(key);
}

// One data file of the database as its page 0 describes it.
struct DatabaseFile {
  uint16_t fileId = 0;
  uint16_t filegroup = 0;
  std::u16string logicalName;
  std::string path;
  uint64_t pageCount = 0;
};

class DataFile {
 public:
  bool Open(const std::string& path) {
    secondaries_.clear();
    return file_.Open(path);
  }
  // Why the last Open failed, from what it left (errno included).
  Refusal LastOpenRefusal(int error) const;
  void Close() {
    secondaries_.clear();
    file_.Close();
  }
  bool IsOpen() const { return file_.IsOpen(); }
  const std::string& Path() const { return file_.Path(); }

  // The size taken by the version test and kept for the analysis.
  uint64_t FileSize() const { return fileSize_; }
  uint64_t PageCount() const { return fileSize_ / kPageSize; }
  const VersionFlags& Version() const { return version_; }

  // Reads the page with key n (PageKey) into `page`: zero-filled first, so a
  // page at or past the end of its file, or of a file that was not found,
  // reads as zeros where nothing was stored; torn-page bits are put back.
  // Throws FileError when the read fails.
  void ReadPage(uint64_t pageNumber, PageBuffer& page) const;
  PageBuffer ReadPage(uint64_t pageNumber) const {
    PageBuffer page;
    ReadPage(pageNumber, page);
    return page;
  }

  // Whether the page with this key lies inside a data file that was found.
  bool HasPage(uint64_t key) const { return PageNumberOf(key) < PageCountOf(FileIdOf(key)); }
  // Pages of the data file with this id; 0 for a file that was not found.
  uint64_t PageCountOf(uint16_t fileId) const;
  // Reads the first bytes of the page with this key without repair; returns
  // how many were read (0 for a missing file).
  size_t ReadPagePrefix(uint64_t key, std::span<std::byte> buffer) const;

  // The primary file's page 0, then the secondary data files of the same
  // database found beside it, in file id order. Filled by DetectVersion.
  const std::vector<DatabaseFile>& Files() const { return files_; }
  // Whether a data file with this id was found (the primary always is).
  bool HasFile(uint16_t fileId) const { return PageCountOf(fileId) > 0 || fileId <= 1; }

  // Reads bytes at an absolute offset of the primary file without repair;
  // returns how many were read.
  size_t ReadDirect(uint64_t offset, std::span<std::byte> buffer) const {
    return file_.ReadAt(offset, buffer);
  }

  // The version test: takes the file size, reads the version at byte 73828 and
  // sets the flag of a supported version. False, with no flag set, otherwise.
  // A file that passes also has the other data files of its database found
  // beside it (Files()).
  bool DetectVersion();
  // Whether the file reads as a data file of any version: long enough to hold
  // the boot page, and page 9 says it is one. After DetectVersion.
  bool LooksLikeDataFile() const;

 private:
  struct Secondary {
    DatabaseFile about;
    std::unique_ptr<CFile64> file;
  };
  // Opens every file in the primary's folder whose page 0 names the same
  // database (binding id) and a secondary data file id.
  void FindSecondaryFiles();
  const Secondary* SecondaryOf(uint16_t fileId) const;

  CFile64 file_;
  uint64_t fileSize_ = 0;
  VersionFlags version_;
  std::vector<DatabaseFile> files_;
  std::vector<Secondary> secondaries_;
};

// Runs the version test; on a supported version runs `analyse`, otherwise
// passes the refusal to `refuse` and closes the file.
bool DetectVersionAndAnalyse(DataFile& file, const std::function<void()>& analyse,
                             const std::function<void(Refusal refusal)>& refuse);

}  // namespace mendora

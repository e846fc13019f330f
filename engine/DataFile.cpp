#include "engine/DataFile.h"

#include <algorithm>
#include <cerrno>

#include "engine/BootPage.h"
#include "engine/ByteReader.h"
#include "engine/PageHeader.h"

namespace mendora {

void DataFile::ReadPage(uint64_t pageNumber, PageBuffer& page) const {
  // A short read at the end of the file leaves the rest zero.
  const size_t got = file_.ReadAt(pageNumber * kPageSize, page);
  if (got < page.size())
    std::fill(page.begin() + static_cast<ptrdiff_t>(got), page.end(), std::byte{0});
  RepairTornPage(page);
}

bool DataFile::LooksLikeDataFile() const {
  if (FileSize() < kVersionOffset + 2) return false;
  const PageBuffer boot = ReadPage(kBootPage);
  return static_cast<uint8_t>(boot[kHeaderPageType]) == kPageTypeBoot;
}

bool DataFile::DetectVersion() {
  version_ = VersionFlags{};
  fileSize_ = file_.GetFileSize();
  std::array<std::byte, 4> raw{};
  file_.ReadAt(kVersionOffset, raw);
  auto low = static_cast<uint8_t>(raw[0]);
  auto high = static_cast<uint8_t>(raw[1]);
  if (high != 2 || (low != 27 && low != 99 && low != 143)) return false;
  version_ = FlagsForVersion(static_cast<uint16_t>(low | (high << 8)));
  return version_.Any();
}

Refusal DataFile::LastOpenRefusal(int error) const {
  if (file_.NotRegular()) return Refusal::kNotRegularFile;
  return error == EWOULDBLOCK ? Refusal::kHeldByAnotherProcess : Refusal::kCannotOpen;
}

bool DetectVersionAndAnalyse(DataFile& file, const std::function<void()>& analyse,
                             const std::function<void(Refusal)>& refuse) {
  if (file.DetectVersion()) {
    if (analyse) analyse();
    return true;
  }
  if (refuse)
    refuse(file.LooksLikeDataFile() ? Refusal::kUnsupportedVersion : Refusal::kNotADataFile);
  file.Close();
  return false;
}

}  // namespace mendora

#include "engine/DataFile.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>

#include "engine/BootPage.h"
#include "engine/ByteReader.h"
#include "engine/FileHeaderPage.h"
#include "engine/PageHeader.h"

namespace mendora {

const DataFile::Secondary* DataFile::SecondaryOf(uint16_t fileId) const {
  for (const auto& s : secondaries_) {
    if (s.about.fileId == fileId) return &s;
  }
  return nullptr;
}

uint64_t DataFile::PageCountOf(uint16_t fileId) const {
  if (fileId <= kPrimaryFileId) return PageCount();
  const Secondary* s = SecondaryOf(fileId);
  return s ? s->about.pageCount : 0;
}

size_t DataFile::ReadPagePrefix(uint64_t key, std::span<std::byte> buffer) const {
  const uint64_t offset = uint64_t{PageNumberOf(key)} * kPageSize;
  if (FileIdOf(key) == kPrimaryFileId) return file_.ReadAt(offset, buffer);
  const Secondary* s = SecondaryOf(FileIdOf(key));
  return s ? s->file->ReadAt(offset, buffer) : 0;
}

void DataFile::ReadPage(uint64_t pageNumber, PageBuffer& page) const {
  // A short read at the end of the file, or none at all for a file that
  // was not found, leaves the rest zero.
  const size_t got = ReadPagePrefix(pageNumber, page);
  if (got < page.size())
    std::fill(page.begin() + static_cast<ptrdiff_t>(got), page.end(), std::byte{0});
  RepairTornPage(page);
}

void DataFile::FindSecondaryFiles() {
  secondaries_.clear();
  files_.clear();
  const std::optional<FileHeaderPage> primary = DecodeFileHeaderPage(ReadPage(0));
  if (!primary) return;
  files_.push_back({kPrimaryFileId, primary->filegroup, primary->logicalName, Path(), PageCount()});
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::path self = fs::absolute(Path(), error);
  const fs::path folder = self.parent_path();
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    std::error_code entryError;
    if (!it->is_regular_file(entryError) || it->path() == self) continue;
    const uint64_t size = it->file_size(entryError);
    if (entryError || size < kPageSize || size % kPageSize != 0) continue;
    auto file = std::make_unique<CFile64>();
    if (!file->Open(it->path().string())) continue;
    PageBuffer page{};
    try {
      if (file->ReadAt(0, page) < page.size()) continue;
    } catch (const std::exception&) {
      continue;  // an unreadable neighbour is no file of this database
    }
    RepairTornPage(page);
    const std::optional<FileHeaderPage> header = DecodeFileHeaderPage(page);
    // File 2 is the log; a second file claiming an id already found is not taken.
    if (!header || header->bindingId != primary->bindingId || header->fileId <= 2 ||
        SecondaryOf(header->fileId)) {
      continue;
    }
    DatabaseFile about{header->fileId, header->filegroup, header->logicalName, it->path().string(),
                       size / kPageSize};
    secondaries_.push_back({about, std::move(file)});
  }
  std::sort(secondaries_.begin(), secondaries_.end(),
            [](const Secondary& a, const Secondary& b) { return a.about.fileId < b.about.fileId; });
  for (const auto& s : secondaries_) files_.push_back(s.about);
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
  version_ = FlagsForVersion(static_cast<uint16_t>(low | (high << 8)));
  if (!version_.Any()) return false;
  FindSecondaryFiles();
  return true;
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

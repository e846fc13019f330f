// Reading what a plain read of a table leaves behind: the records on its
// pages that are no live rows but still parse as rows of the table.
//
// Where they are found:
//   ghost        a slot names a record marked deleted (ghost data record) that
//                the server has not cleaned up yet;
//   unreferenced no slot names the record: the body of a page the table's
//                rows are read from is walked between its live records, and
//                every place where a row of the table parses is one (a slot
//                removed after a delete, the old place of a row an update
//                moved or rewrote longer);
//   freed page   a page the PFS marks free whose header still names the
//                table's unit (2000: its object id and index id 0): every
//                record on it, by slot and between slots;
//   superseded   any of these whose key (the primary key, else a unique
//                clustered or unique index) equals a live row's: an older
//                version of that row.
// A candidate is a row only when it passes every rule of RowCandidate.h. The
// live rows are read by TableReader, which gives this reader each page it
// reads: the pages are read once, live and deleted rows from one pass.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "engine/Catalogue.h"
#include "engine/DamageReport.h"
#include "engine/DataFile.h"
#include "engine/JobControl.h"
#include "engine/LobReader.h"
#include "engine/RowCandidate.h"
#include "engine/TableReader.h"
#include "engine/Value.h"

namespace mendora {

enum class DeletedWhy : uint8_t { kGhost, kUnreferenced, kFreedPage, kSuperseded };

// "ghost", "unreferenced", "freed page", "superseded".
const char* DeletedWhyText(DeletedWhy why);

// Where a recovered record stands: by slot ("1:153/12") when a slot names
// it, else by page offset ("1:153@+2144").
struct FoundAt {
  uint16_t file = 1;
  uint64_t page = 0;
  std::optional<uint16_t> slot;
  uint16_t offset = 0;
};
std::string FoundAtText(const FoundAt& at);

struct RecoveredRow {
  RowValues values;  // in colid order, like a live row
  FoundAt at;
  DeletedWhy why = DeletedWhy::kUnreferenced;
  // How it was found (ghost, unreferenced or freed page), also when `why`
  // says superseded.
  DeletedWhy foundAs = DeletedWhy::kUnreferenced;
};

// A data page the PFS marks free, with the unit its header still names.
struct FreedPage {
  uint64_t page = 0;
  UnitKey unit;
};
// Every such page of the file, in page order: only pages the PFS marks free
// are read, and only their headers. Read once per file and shared by the
// readers of its tables.
std::vector<FreedPage> FindFreedDataPages(const DataFile& file, JobControl* job = nullptr);

struct DeletedReadStats {
  uint64_t ghost = 0;
  uint64_t unreferenced = 0;
  uint64_t freedPage = 0;
  uint64_t superseded = 0;
  uint64_t pagesWalked = 0;  // live pages whose gaps were walked
  uint64_t freedPages = 0;   // freed pages of the table read
  // Live records that the rules for a candidate would refuse: a rule too
  // strict for what the server writes shows here.
  uint64_t liveOutsideRules = 0;
  uint64_t Total() const { return ghost + unreferenced + freedPage + superseded; }
};

class DeletedRowReader {
 public:
  using RecoveredSink = std::function<bool(const RecoveredRow& row)>;

  // `freedPages`: FindFreedDataPages of the file, when already read; found
  // by the reader otherwise.
  DeletedRowReader(const DataFile& file, const Catalogue& catalogue, int64_t tableId,
                   const std::vector<FreedPage>* freedPages = nullptr);

  bool CanRead() const { return live_.CanRead(); }
  const std::vector<_SYSCOLUMNS>& Columns() const { return live_.Columns(); }
  void SetDamageReport(DamageReport* report) { live_.SetDamageReport(report); }

  // Reads the live rows (each given to `onLive` when it is set), walking
  // every page they are read from, then the table's freed pages; then gives
  // the recovered rows in the order found. Either sink returning false
  // stops. Throws FileError and JobStopped like TableReader::Read.
  void Read(JobControl& job, const TableReader::RowSink& onLive, const RecoveredSink& onRecovered);

  // The recovered rows of one page that Read gave, again and in the same
  // order, each with how it was found (`why` is `foundAs`: whether a row is
  // superseded is known only to a whole Read). `freed`: a freed page of the
  // table rather than one its live rows are read from. Throws FileError.
  void ReadPageAt(uint64_t pageNumber, bool freed, const RecoveredSink& onRecovered);

  const TableReadStats& LiveStats() const { return live_.Stats(); }
  const DeletedReadStats& Stats() const { return stats_; }

 private:
  void WalkPage(uint64_t pageNumber, const PageBuffer& page, bool freed);
  bool TryCandidate(Bytes page, uint64_t pageNumber, uint16_t at, std::optional<uint16_t> slot,
                    DeletedWhy why, const Record& record);
  // A hash of the key columns' values of a row; nothing when the table has
  // no key. Two rows of one hash are taken as one key: a wrong match (one in
  // 2^64 per pair) would only name a row superseded.
  std::optional<uint64_t> KeyOf(const RowValues& row) const;

  const DataFile& file_;
  TableReader live_;
  const std::vector<FreedPage>* freedPages_;
  std::vector<FreedPage> ownFreedPages_;
  RowShape shape_;
  std::optional<LobReader> lobs_;
  std::vector<size_t> keyColumns_;  // positions in colid order
  std::vector<uint64_t> liveKeys_;  // sorted once the live pass is over
  std::unordered_set<uint64_t> walked_;
  struct Found {
    RecoveredRow row;
    std::optional<uint64_t> key;
  };
  std::vector<Found> found_;  // on live pages: given once the live keys are all known
  // Classifies a found row against the live keys, counts it and gives it;
  // false once the sink asked to stop.
  bool Give(Found& found);
  const RecoveredSink* onRecovered_ = nullptr;
  bool keysSorted_ = false;
  bool giveNow_ = false;  // on freed pages: each row is given as it is found
  bool stop_ = false;
  DeletedReadStats stats_;
  Record record_;
  std::vector<CellValue> cells_;
  std::vector<std::byte> lobBytes_;
  std::string lobError_;
  std::vector<std::pair<uint16_t, uint16_t>> extents_;
};

}  // namespace mendora

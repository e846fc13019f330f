#include "engine/FileDamage.h"

#include <array>
#include <set>
#include <tuple>

#include "engine/PageHeader.h"
#include "engine/PfsPage.h"
#include "engine/TableReader.h"
#include "engine/Utf16.h"

namespace mendora {

void AddCatalogueDamage(const DataFile& file, const Catalogue& catalogue, DamageReport& report,
                        JobControl& job) {
  const uint64_t count = file.PageCount();  // of the primary file
  PfsPage pfs;
  std::array<std::byte, kPageHeaderSize> header{};
  for (uint64_t p = 0; p < count; ++p) {
    if (p % 4096 == 0) job.Checkpoint();
    if (pfs.bytes.empty() || p / kPfsInterval != pfs.interval) {
      const uint64_t at = PfsPageOf(p);
      pfs = DecodePfsPage(file.ReadPage(at), at);
    }
    // Only a page the PFS marks allocated must name itself: free pages keep
    // whatever they held.
    if (pfs.IsAllocated(p) != true) continue;
    if (file.ReadDirect(p * kPageSize, header) < header.size()) continue;
    const PageHeader h = DecodePageHeader(header);
    if (h.thisPage != p && !(h.thisPage == 0 && h.type == 0)) {
      report.Add(p, std::nullopt, std::nullopt,
                 "allocated page whose header names page " + std::to_string(h.thisPage));
    }
  }
  for (const auto& r : catalogue.indexRows) {
    const std::string table = ToUtf8(ObjectName(catalogue, r.tableId));
    // A reference into a data file that was not found is that file's
    // absence, which the table's own entry names, not a file cut short.
    const auto pastEnd = [&](uint32_t page, uint32_t fileId) {
      const auto id = static_cast<uint16_t>(fileId);
      return page != 0 && file.HasFile(id) && page >= file.PageCountOf(id);
    };
    if (pastEnd(r.firstPage, r.firstFile)) {
      report.Add(DamageEntry{static_cast<uint16_t>(r.firstFile == 0 ? 1 : r.firstFile), r.firstPage,
                             std::nullopt, std::nullopt,
                             "first page of " + table + " past the end of the file"});
    }
    if (pastEnd(r.firstIAM, r.firstIAMFile)) {
      report.Add(DamageEntry{static_cast<uint16_t>(r.firstIAMFile == 0 ? 1 : r.firstIAMFile),
                             r.firstIAM, std::nullopt, std::nullopt,
                             "first IAM page of " + table + " past the end of the file"});
    }
  }
  // What the recovery itself skipped (system-table records), less what the
  // passes above said already.
  std::set<std::tuple<uint64_t, std::optional<uint16_t>, std::string>> said;
  for (const DamageEntry& e : report.Entries()) said.emplace(e.page, e.slot, e.reason);
  for (const DamageEntry& e : catalogue.damage.entries) {
    if (!said.count({e.page, e.slot, e.reason})) report.Add(e);
  }
}

void CollectFileDamage(const DataFile& file, const Catalogue& catalogue, DamageReport& report,
                       JobControl& job) {
  AddCatalogueDamage(file, catalogue, report, job);
  for (const auto& table : catalogue.userTables) {
    TableReader reader(file, catalogue, table.id);
    // Rows in a data file that was not found are damage to the database as
    // a whole: the entry names the file and the page the table leads to.
    if (const uint64_t missing = reader.MissingFilePage()) {
      report.Add(DamageEntry{FileIdOf(missing), PageNumberOf(missing), std::nullopt, std::nullopt,
                             ToUtf8(table.name) + ": " + reader.NotReadReason()});
    }
    reader.SetDamageReport(&report);
    reader.Read(job, [](const RowValues&) { return true; });
  }
}

}  // namespace mendora

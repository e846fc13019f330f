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
  const uint64_t count = file.PageCount();
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
    if (r.firstPage != 0 && r.firstPage >= count) {
      report.Add(r.firstPage, std::nullopt, std::nullopt,
                 "first page of " + table + " past the end of the file");
    }
    if (r.firstIAM != 0 && r.firstIAM >= count) {
      report.Add(r.firstIAM, std::nullopt, std::nullopt,
                 "first IAM page of " + table + " past the end of the file");
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
    reader.SetDamageReport(&report);
    reader.Read(job, [](const RowValues&) { return true; });
  }
}

}  // namespace mendora

// The reader of deleted rows on every real data file: its live pass gives the
// reference's rows, every live record of every table passes the rules a
// recovered row must pass (so the rules are not stricter than what the
// server writes, older shapes of altered tables included), and no place is
// given twice. The recovered rows per table
// are printed for the record.
#include <gtest/gtest.h>

#include <iostream>
#include <map>
#include <set>

#include "engine/Analysis.h"
#include "engine/DeletedRowReader.h"
#include "tests/integration/RealFile.h"
#include "tests/support/RealFiles.h"

using namespace mendora;
using mdftest::RealFile;

namespace {

TEST_P(RealFile, LiveRowsStayAndEveryLiveRecordPassesTheRules) {
  const std::string name = GetParam();
  const nlohmann::json& expected = Expected();
  const DataFile& file = Analysis().file;
  const Catalogue& catalogue = Recovered();
  NullJobControl job;
  const std::vector<FreedPage> freed = FindFreedDataPages(file, &job);

  for (const auto& table : expected["tables"]) {
    const std::string tableName = table["name"].get<std::string>();
    SCOPED_TRACE("table " + tableName);
    DeletedRowReader reader(file, catalogue, table["id"].get<int64_t>(), &freed);
    uint64_t live = 0;
    std::set<std::string> places;
    std::map<std::string, int> foundAs;
    reader.Read(
        job,
        [&](const RowValues&) {
          ++live;
          return true;
        },
        [&](const RecoveredRow& row) {
          EXPECT_TRUE(places.insert(FoundAtText(row.at)).second) << FoundAtText(row.at);
          EXPECT_EQ(row.values.size(), reader.Columns().size());
          ++foundAs[DeletedWhyText(row.foundAs)];
          return true;
        });
    EXPECT_EQ(live, table["rows"].size());
    // Tables altered after their rows were written (a column dropped or
    // added, in the later files) keep records of older shapes: the rules
    // take those too, so every live record passes them.
    EXPECT_EQ(reader.Stats().liveOutsideRules, 0u);
    const DeletedReadStats& s = reader.Stats();
    if (s.Total()) {
      std::cout << name << '\t' << tableName << '\t' << s.Total() << " (ghost " << s.ghost
                << ", unreferenced " << s.unreferenced << ", freed page " << s.freedPage
                << ", superseded " << s.superseded << "; found as";
      for (const auto& [how, n] : foundAs) std::cout << ' ' << how << ' ' << n;
      std::cout << ")\n";
    }
  }
}

}  // namespace

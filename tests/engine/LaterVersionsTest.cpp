// What files of 2012 and later hold that a reader must not misread: the
// server's own objects listed in the catalogue, and system tables whose own
// description might one day place a field elsewhere than it is read.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/Analysis.h"
#include "engine/Utf16.h"
#include "tests/engine/AnalysedFile.h"
#include "tests/support/CatalogueBuilder.h"

using namespace mdftest;
using analysedtest::AnalysedFile;

namespace {

std::vector<std::string> Names(const std::vector<mendora::_SYSOBJECTS>& objects) {
  std::vector<std::string> names;
  for (const auto& o : objects) names.push_back(mendora::ToUtf8(o.name));
  return names;
}

TEST(LaterVersions, TheServersOwnObjectsAreLeftOutAndShippedUserTablesStay) {
  CatalogueBuilder b(904, u"db");
  b.AddTable(u"Orders", {IntColumn(u"id", true)}, {{IntValue(1)}});
  b.AddTable(u"__MigrationHistory", {IntColumn(u"id", true)});
  b.EditSystemRows([](CatalogueBuilder::SystemRowLists& rows) {
    auto& objects = rows[kObjSysSchObjs];
    objects.push_back(Encode(SysSchObjsRow{-101, u"sp_columns", "P ", 0, 0, 4, true}));
    objects.push_back(Encode(SysSchObjsRow{-102, u"TABLES", "V ", 0, 0, 3, true}));
    objects.push_back(Encode(SysSchObjsRow{-103, u"trace_xe_action_map", "U ", 0, 0, 4, true}));
    objects.push_back(Encode(SysSchObjsRow{-104, u"PK_trace", "PK", -103, 0, 4, true}));
  });
  AnalysedFile f(b.Build());
  std::vector<std::string> users = Names(f.c.userTables);
  std::sort(users.begin(), users.end());
  EXPECT_EQ(users, (std::vector<std::string>{"Orders", "__MigrationHistory"}));
  for (const char16_t* name : {u"sp_columns", u"TABLES", u"trace_xe_action_map", u"PK_trace"}) {
    EXPECT_EQ(f.Object(name), nullptr) << mendora::ToUtf8(name);
  }
  EXPECT_NE(f.Object(u"Orders"), nullptr) << "2012 object rows (fixed part to 48) are read";
}

TEST(LaterVersions, ASystemTableDescribedOtherwiseThanItIsReadIsDamage) {
  struct Case {
    const char* what;
    std::vector<SysColParsRow> described;  // sysschobjs' columns after id and name
    uint64_t misplaced;
  };
  const Case cases[] = {
      {"as read",
       {{34, 3, u"nsid"},
        {34, 4, u"nsclass", 48, 1},
        {34, 5, u"status"},
        {34, 6, u"type", 175, 2},
        {34, 7, u"pid"}},
       0},
      {"type before status",
       {{34, 3, u"nsid"},
        {34, 4, u"nsclass", 48, 1},
        {34, 5, u"type", 175, 2},
        {34, 6, u"status"},
        {34, 7, u"pid"}},
       2},  // both are read: the type and the status (a constraint's state)
      {"a narrower schema id", {{34, 3, u"nsid", 52, 2}}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CatalogueBuilder b(706, u"db");
    b.AddTable(u"t", {IntColumn(u"id", true)}, {{IntValue(1)}});
    b.EditSystemRows([&](CatalogueBuilder::SystemRowLists& rows) {
      for (const auto& r : c.described) rows[kObjSysColPars].push_back(Encode(r));
    });
    AnalysedFile f(b.Build());
    EXPECT_EQ(f.c.damage.misplacedSystemFields, c.misplaced);
    const auto warnings = mendora::DamageWarnings(f.c);
    EXPECT_EQ(!warnings.empty(), c.misplaced > 0);
    if (c.misplaced) {
      EXPECT_NE(warnings[0].find("fields of the system tables are described elsewhere"),
                std::string::npos);
    }
  }
}

}  // namespace

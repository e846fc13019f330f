// The save and `rows` of several tables read by a pool of workers: every
// format's files, and the rows of every table named at once, are byte for byte
// what one worker writes, on real files with many tables and large values.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "tests/integration/CliRun.h"
#include "tests/support/RealFiles.h"
#include "tests/support/TempDir.h"

namespace mdftest {
namespace {

namespace fs = std::filesystem;

// Every file under the one save in `parent` (a folder, or the SQLite file),
// by its path relative to the save.
std::map<std::string, std::string> SavedFiles(const std::string& parent) {
  std::map<std::string, std::string> files;
  for (const auto& save : fs::directory_iterator(parent)) {
    if (save.is_regular_file()) {
      files[save.path().filename().extension().string()] = ReadAll(save.path().string());
      continue;
    }
    for (const auto& e : fs::recursive_directory_iterator(save.path())) {
      if (e.is_regular_file()) {
        files[fs::relative(e.path(), save.path()).string()] = ReadAll(e.path().string());
      }
    }
  }
  return files;
}

std::vector<std::string> TableNames(const std::string& path) {
  const CliRun run = RunCli({"tables", path});
  EXPECT_EQ(run.status, 0) << run.err;
  std::vector<std::string> names;
  std::istringstream lines(run.out);
  for (std::string line; std::getline(lines, line);) names.push_back(line);
  return names;
}

class SaveWorkers : public ::testing::TestWithParam<std::string> {};

TEST_P(SaveWorkers, EveryFormatIsTheSameForAnyNumberOfWorkers) {
  const std::string path = RealMdf(GetParam());
  ASSERT_TRUE(fs::exists(path)) << path;
  for (const char* format : {"sql", "sqlite", "csv"}) {
    TempDir one, three;
    const CliRun a = RunCli({"export", path, one.path(), "--format", format, "--jobs", "1"});
    const CliRun b = RunCli({"export", path, three.path(), "--format", format, "--jobs", "3"});
    ASSERT_EQ(a.status, b.status) << format << a.err << b.err;
    EXPECT_EQ(a.err, b.err) << format;
    const auto filesOne = SavedFiles(one.path());
    const auto filesThree = SavedFiles(three.path());
    ASSERT_GT(filesOne.size(), 0u) << format;
    ASSERT_EQ(filesOne.size(), filesThree.size()) << format;
    for (const auto& [name, bytes] : filesOne) {
      const auto other = filesThree.find(name);
      ASSERT_NE(other, filesThree.end()) << format << " " << name;
      EXPECT_TRUE(bytes == other->second) << format << " " << name << " differs";
    }
  }
}

TEST_P(SaveWorkers, RowsOfSeveralTablesAreEachTablesRowsInTheOrderNamed) {
  const std::string path = RealMdf(GetParam());
  std::vector<std::string> names = TableNames(path);
  ASSERT_GT(names.size(), 2u);
  // Last to first, so that the order written is the order named.
  std::reverse(names.begin(), names.end());
  std::string expectedOut, expectedErr;
  for (const std::string& name : names) {
    const CliRun alone = RunCli({"rows", path, name, "--format", "csv"});
    expectedOut += alone.out;
    expectedErr += alone.err;
  }
  std::vector<std::string> args = {"rows", path};
  args.insert(args.end(), names.begin(), names.end());
  for (const char* jobs : {"1", "3"}) {
    std::vector<std::string> all = args;
    all.insert(all.end(), {"--format", "csv", "--jobs", jobs});
    const CliRun together = RunCli(all);
    EXPECT_TRUE(together.out == expectedOut) << "--jobs " << jobs;
    EXPECT_EQ(together.err, expectedErr) << "--jobs " << jobs;
  }
}

// Files with many tables, identity columns, alias types (made in the script
// of the first table that uses one) and large values.
INSTANTIATE_TEST_SUITE_P(RealFiles, SaveWorkers,
                         ::testing::Values("v611-northwind.mdf", "v655-aspnetcontents.mdf",
                                           "v539-pubs.mdf"),
                         [](const auto& info) {
                           std::string name = info.param.substr(0, info.param.find('.'));
                           std::replace(name.begin(), name.end(), '-', '_');
                           return name;
                         });

}  // namespace
}  // namespace mdftest

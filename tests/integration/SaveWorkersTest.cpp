// The save and `rows` of several tables read by a pool of workers: every
// format's files, and the rows of every table named at once, are byte for byte
// what one worker writes, on real files with many tables and large values.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <sstream>

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

struct SavedFile {
  const char* file;
  const char* largestTable;
};

class SaveWorkers : public ::testing::TestWithParam<SavedFile> {};

// Every format, of every table (tables read at once) and of the largest table
// alone (its pages read at once), with one worker and with three.
TEST_P(SaveWorkers, EveryFormatIsTheSameForAnyNumberOfWorkers) {
  const std::string path = RealMdf(GetParam().file);
  ASSERT_TRUE(fs::exists(path)) << path;
  for (const char* format : {"sql", "sqlite", "csv", "sql --only", "csv --only"}) {
    std::vector<std::string> args = {"export", path, "", "--format"};
    std::istringstream words(format);
    for (std::string word; words >> word;) args.push_back(word);
    if (args.back() == "--only") args.push_back(GetParam().largestTable);
    TempDir one, three;
    args[2] = one.path();
    args.insert(args.end(), {"--jobs", "1"});
    const CliRun a = RunCli(args);
    args[2] = three.path();
    args.back() = "3";
    const CliRun b = RunCli(args);
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

// Each table alone is read in runs of pages by the workers; named together,
// the tables are read at once, each by one worker.
TEST_P(SaveWorkers, RowsOfSeveralTablesAreEachTablesRowsInTheOrderNamed) {
  const std::string path = RealMdf(GetParam().file);
  std::vector<std::string> names = TableNames(path);
  ASSERT_GT(names.size(), 2u);
  // Last to first, so that the order written is the order named.
  std::reverse(names.begin(), names.end());
  std::string expectedOut, expectedErr;
  for (const std::string& name : names) {
    const CliRun alone = RunCli({"rows", path, name, "--format", "csv", "--jobs", "1"});
    const CliRun inRuns = RunCli({"rows", path, name, "--format", "csv", "--jobs", "3"});
    EXPECT_TRUE(alone.out == inRuns.out) << name;
    EXPECT_EQ(alone.err, inRuns.err) << name;
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
                         ::testing::Values(SavedFile{"v611-northwind.mdf", "Order Details"},
                                           SavedFile{"v611-bltoolkit.mdf", "DataTypeTest"},
                                           SavedFile{"v539-pubs.mdf", "roysched"}),
                         [](const auto& info) {
                           std::string name(info.param.file);
                           name = name.substr(0, name.find('.'));
                           std::replace(name.begin(), name.end(), '-', '_');
                           return name;
                         });

}  // namespace
}  // namespace mdftest

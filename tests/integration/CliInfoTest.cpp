// `mendora-cli info` run as a separate program on every real data file, on a
// file another process holds, and with wrong arguments.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/integration/CliRun.h"
#include "tests/integration/ManifestTable.h"
#include "tests/support/CatalogueBuilder.h"
#include "tests/support/MdfBuilder.h"
#include "tests/support/RealFiles.h"
#include "ui/ProductTexts.h"

using namespace mdftest;

namespace {

std::string FirstLine(const std::string& text) {
  return text.substr(0, text.find('\n'));
}

bool HasLine(const std::string& text, const std::string& line) {
  std::istringstream in(text);
  std::string l;
  while (std::getline(in, l)) {
    if (l == line) return true;
  }
  return false;
}

// The releases and their on-disk versions, written out here rather than
// taken from the program's own table, so that a wrong entry there shows.
std::string ReleaseOf(int version) {
  switch (version) {
    case 539:
      return "SQL Server 2000";
    case 611:
      return "SQL Server 2005";
    case 655:
      return "SQL Server 2008";
    case 660:
    case 661:
    case 665:
      return "SQL Server 2008 R2";
    case 706:
      return "SQL Server 2012";
    case 782:
      return "SQL Server 2014";
    case 852:
      return "SQL Server 2016";
    case 868:
    case 869:
      return "SQL Server 2017";
    case 904:
      return "SQL Server 2019";
    case 957:
      return "SQL Server 2022";
    default:
      return "";  // pre-release builds and versions not seen with content
  }
}

}  // namespace

TEST(CliInfo, TheProgramWasBuilt) {
  ASSERT_EQ(access(MENDORA_CLI_PATH, X_OK), 0) << MENDORA_CLI_PATH;
}

TEST(CliInfo, EveryRealFileGivesItsVersionAndReleaseOrIsRefused) {
  // Both throw, and so fail this test, when the folder or the manifest is missing.
  const auto files = RealMdfFiles();
  const auto manifest = ManifestFirstTable(RealManifest());
  ASSERT_FALSE(manifest.empty());

  std::set<std::string> seen;
  int supported = 0, refused = 0;
  for (const auto& name : files) {
    SCOPED_TRACE(name);
    seen.insert(name);
    auto row = manifest.find(name);
    ASSERT_NE(row, manifest.end()) << "MANIFEST.md does not list " << name;
    const int version = std::stoi(ManifestCell(manifest, name, "on-disk version"));

    CliRun run = RunCli({"info", RealMdf(name)});
    const std::string release = ReleaseOf(version);
    if (!release.empty()) {
      ++supported;
      EXPECT_EQ(run.status, 0) << run.err;
      EXPECT_EQ(FirstLine(run.out), "version: " + std::to_string(version)) << run.out;
      EXPECT_TRUE(HasLine(run.out, "release: " + release)) << run.out;
      EXPECT_EQ(run.err.find(texts::kVersionNotAppropriate), std::string::npos) << run.err;
    } else {
      ++refused;
      EXPECT_EQ(run.status, 1) << run.out << run.err;
      EXPECT_TRUE(HasLine(run.err, texts::kVersionNotAppropriate)) << run.err;
      EXPECT_EQ(run.out.find("version:"), std::string::npos) << run.out;
    }
  }
  for (const auto& [name, row] : manifest) {
    EXPECT_TRUE(seen.count(name)) << "MANIFEST.md lists " << name << " but the folder lacks it";
  }
  EXPECT_GT(supported, 0);
  EXPECT_GT(refused, 0);
}

TEST(CliInfo, AFileAnotherProcessHoldsIsRefused) {
  TempFile f;
  CatalogueBuilder b(655, u"db");  // a database: it has a catalogue
  b.AddTable(u"t", {IntColumn(u"id", true)});
  b.WriteTo(f.path());
  int ready[2], done[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(done), 0);
  pid_t holder = fork();
  ASSERT_GE(holder, 0);
  if (holder == 0) {
    close(ready[0]);
    close(done[1]);
    int fd = open(f.path().c_str(), O_RDONLY);
    char c = fd >= 0 && flock(fd, LOCK_EX) == 0 ? 'y' : 'n';
    (void)!write(ready[1], &c, 1);
    (void)!read(done[0], &c, 1);  // hold the lock until the parent is done
    _exit(0);
  }
  close(ready[1]);
  close(done[0]);
  char c = 0;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  ASSERT_EQ(c, 'y') << "the other process could not lock the file";

  CliRun run = RunCli({"info", f.path()});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(HasLine(run.err, texts::kFileInUse)) << run.err;
  EXPECT_EQ(run.out, "");

  (void)!write(done[1], "x", 1);
  close(done[1]);
  close(ready[0]);
  int status = 0;
  waitpid(holder, &status, 0);

  CliRun released = RunCli({"info", f.path()});
  EXPECT_EQ(released.status, 0) << released.err;
  EXPECT_EQ(FirstLine(released.out), "version: 655");
}

TEST(CliInfo, AFileWithoutACatalogueIsDamageNotAnEmptyDatabase) {
  TempFile f;
  MdfBuilder(655, u"db").WriteTo(f.path());  // a boot page and nothing else
  for (const char* command : {"info", "tree"}) {
    CliRun run = RunCli({command, f.path()});
    EXPECT_EQ(run.status, 1) << command;
    EXPECT_TRUE(HasLine(run.err, texts::kNoCatalogue)) << run.err;
  }
}

TEST(CliInfo, AMissingFileIsRefusedWithItsCause) {
  CliRun run = RunCli({"info", "/nonexistent-folder/none.mdf"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("none.mdf"), std::string::npos) << run.err;
  EXPECT_EQ(run.out, "");
}

TEST(CliInfo, UsageErrorsExitTwo) {
  for (const auto& args : std::vector<std::vector<std::string>>{
           {}, {"info"}, {"info", "a.mdf", "b.mdf"}, {"no-such-command", "a.mdf"}}) {
    std::string shown;
    for (const auto& a : args) shown += "[" + a + "]";
    CliRun run = RunCli(args);
    EXPECT_EQ(run.status, 2) << shown;
    EXPECT_NE(run.err.find("usage"), std::string::npos) << shown << ": " << run.err;
    EXPECT_EQ(run.out, "") << shown;
  }
}

// `mendora-cli info` run as a separate program on a file another process
// holds, a file without a catalogue, a missing file, and with wrong
// arguments (the real files: RealFileTest).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sstream>
#include <string>
#include <vector>

#include "tests/integration/CliRun.h"
#include "tests/support/CatalogueBuilder.h"
#include "tests/support/MdfBuilder.h"
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

}  // namespace

TEST(CliInfo, TheProgramWasBuilt) {
  ASSERT_EQ(access(MENDORA_CLI_PATH, X_OK), 0) << MENDORA_CLI_PATH;
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

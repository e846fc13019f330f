// What mendora-cli tells of itself: --help, --version, each command's
// --help, the usage on a wrong option, and the man page naming every command
// and option the help names; and `tables` on every real file against its
// reference content.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <set>
#include <sstream>

#include "tests/integration/CliRun.h"
#include "tests/integration/RealFile.h"
#include "tests/support/RealFiles.h"

using namespace mdftest;

namespace {

// The commands the usage lists: "usage: mendora-cli info FILE", "       mendora-cli tree FILE".
std::vector<std::string> UsageCommands(const std::string& usage) {
  std::vector<std::string> commands;
  static const std::regex line(R"(^(?:usage:)? *mendora-cli ([a-z]+)\b)");
  std::istringstream in(usage);
  std::string l;
  std::smatch m;
  while (std::getline(in, l)) {
    if (std::regex_search(l, m, line)) commands.push_back(m[1]);
  }
  return commands;
}

std::set<std::string> Options(const std::string& text) {
  std::set<std::string> options;
  static const std::regex option(R"(--[a-z][a-z-]*)");
  for (std::sregex_iterator it(text.begin(), text.end(), option), end; it != end; ++it) {
    options.insert(it->str());
  }
  return options;
}

// "--format" as roff writes it.
std::string Roff(const std::string& option) {
  std::string out;
  for (char c : option) out += c == '-' ? std::string("\\-") : std::string(1, c);
  return out;
}

}  // namespace

TEST(CliHelp, HelpAndVersionAreAnsweredOnStandardOutput) {
  for (const char* flag : {"--help", "-h"}) {
    CliRun help = RunCli({flag});
    EXPECT_EQ(help.status, 0) << flag;
    EXPECT_EQ(help.err, "") << flag;
    EXPECT_EQ(help.out.rfind("usage: mendora-cli info FILE [--damage]\n", 0), 0u) << help.out;
    // The usage shown on an error is the start of the help.
    CliRun wrong = RunCli({});
    EXPECT_EQ(wrong.status, 2);
    EXPECT_EQ(help.out.rfind(wrong.err, 0), 0u) << wrong.err;
  }
  CliRun version = RunCli({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, std::string("mendora-cli ") + MENDORA_VERSION + "\n");
}

TEST(CliHelp, EveryCommandHasItsHelpAndTheManPageNamesItAndItsOptions) {
  const std::string usage = RunCli({"--help"}).out;
  const std::vector<std::string> commands = UsageCommands(usage);
  for (const char* expected : {"info", "tables", "tree", "rows", "ddl", "export"}) {
    EXPECT_NE(std::find(commands.begin(), commands.end(), expected), commands.end()) << expected;
  }
  const std::string man = ReadAll(MENDORA_SOURCE_DIR "/packaging/man/mendora-cli.1");
  ASSERT_FALSE(man.empty());
  for (const std::string& command : commands) {
    SCOPED_TRACE(command);
    CliRun help = RunCli({command, "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("usage: mendora-cli " + command, 0), 0u) << help.out;
    EXPECT_NE(man.find(".B mendora-cli " + command + "\n"), std::string::npos)
        << "the synopsis of mendora-cli.1 lacks " << command;
    EXPECT_NE(man.find(".BI " + command + " "), std::string::npos)
        << "COMMANDS of mendora-cli.1 lacks " << command;
    for (const std::string& option : Options(help.out)) {
      EXPECT_NE(man.find(Roff(option)), std::string::npos) << "mendora-cli.1 lacks " << option;
    }
  }
  for (const std::string& option : Options(usage)) {
    EXPECT_NE(man.find(Roff(option)), std::string::npos) << "mendora-cli.1 lacks " << option;
  }
}

TEST(CliHelp, AWrongOptionIsAUsageErrorNotAName) {
  TempFile f;
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"--no-such-option"},
           {"info", "--no-such-option"},
           {"tables", f.path(), "--no-such-option"},
           {"tree", "--no-such-option", f.path()},
           {"rows", f.path(), "t", "--no-such-option"},
           {"ddl", f.path(), "--limit"},  // an option of another command
           {"export", f.path(), "/tmp", "--no-such-option", "x"}}) {
    std::string shown;
    for (const auto& a : args) shown += "[" + a + "]";
    CliRun run = RunCli(args);
    EXPECT_EQ(run.status, 2) << shown;
    EXPECT_EQ(run.err.rfind("usage: mendora-cli", 0), 0u) << shown << ": " << run.err;
    EXPECT_EQ(run.out, "") << shown;
  }
}

// Every user table of the reference, once, as rows takes it.
TEST_P(RealFile, ListsEveryTableOfTheReference) {
  const auto reference = Reference(GetParam());
  CliRun run = RunCli({"tables", RealMdf(GetParam())});
  ASSERT_EQ(run.status, 0) << run.err;
  std::multiset<std::string> listed;
  std::istringstream in(run.out);
  for (std::string line; std::getline(in, line);) listed.insert(line);
  std::multiset<std::string> wanted;
  for (const auto& table : reference["tables"]) {
    if (IsBuiltInSchema(table)) continue;  // the server's own, never listed
    wanted.insert(table["schema"].get<std::string>() + "." + table["name"].get<std::string>());
  }
  EXPECT_EQ(listed, wanted);
}

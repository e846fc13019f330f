#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <vector>

#include "export/ExportFolder.h"
#include "export/FileNames.h"
#include "tests/support/TempDir.h"

namespace mendora {
namespace {

using mdftest::FileBytes;
using mdftest::ScriptText;
using mdftest::TempDir;

std::vector<std::string> Lines(const std::string& bytes) {
  std::vector<std::string> lines;
  std::string line;
  std::istringstream in(bytes);
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

TEST(ExportFolder, FixedFilesAreByteExact) {
  TempDir dir;
  ExportFolder folder(dir.path(), u"Sales");
  folder.Prepare();
  folder.WriteFixedFiles();
  EXPECT_TRUE(folder.Failures().empty());

  EXPECT_EQ(FileBytes(dir.path() + "CreateDatabase.sql"),
            "USE master\r\nCreate Database Sales\r\n");
  EXPECT_EQ(FileBytes(dir.path() + "CreateDatabase.sql").size(), 35u);
  EXPECT_EQ(FileBytes(dir.path() + "PrimaryKey.bat"),
            "echo OFF. \r\ncd PrimaryKey\r\nsqlcmd -S localhost -i PrimaryKeys.sql\r\n");
  EXPECT_EQ(FileBytes(dir.path() + "Constraints.bat"),
            "echo OFF. \r\ncd Constraints\r\nsqlcmd -S localhost -i Constraints.sql\r\n");
  EXPECT_EQ(FileBytes(dir.path() + "Functions.bat"),
            "echo OFF. \r\ncd Programmability\r\ncd Function\r\n");
  for (const char* script :
       {"Constraints/Constraints.sql", "Indexes/Indexes.sql", "PrimaryKey/PrimaryKeys.sql",
        "UniqueKey/UniqueKeys.sql", "ForeignKey/ForeignKeys.sql"}) {
    EXPECT_EQ(FileBytes(dir.path() + script), "Use Sales\r\n") << script;
  }
  for (const char* sub :
       {"Tables_Create", "Tables_Data", "Programmability/Procedure", "Programmability/Function",
        "Programmability/View", "Programmability/Triggers"}) {
    EXPECT_TRUE(std::filesystem::is_directory(dir.path() + sub)) << sub;
  }

  // Import.bat: every line ends with CR LF; the rows come after the keys and
  // indexes and before the foreign keys and check constraints.
  const std::string import = FileBytes(dir.path() + "Import.bat");
  std::vector<std::string> lines = Lines(import);
  ASSERT_EQ(lines.size(), 27u);
  for (std::string& line : lines) {
    ASSERT_TRUE(!line.empty() && line.back() == '\r') << line;
    line.pop_back();
  }
  EXPECT_EQ(lines.front(), "echo OFF");
  EXPECT_EQ(lines.back(), "CALL Triggers");
  auto at = [&](const char* line) {
    return std::find(lines.begin(), lines.end(), line) - lines.begin();
  };
  EXPECT_LT(at("CALL PrimaryKey"), at("CALL Tables_Data"));
  EXPECT_LT(at("CALL Indexes"), at("CALL Tables_Data"));
  EXPECT_LT(at("CALL Tables_Data"), at("CALL ForeignKey"));
  EXPECT_LT(at("CALL Tables_Data"), at("CALL Constraints"));
  EXPECT_LT(at("CALL Constraints"), at("CALL Procedure"));
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "CD.."), 13);

  // import.sh: a shell script with LF line ends that may be run.
  const std::string shell = FileBytes(dir.path() + "import.sh");
  EXPECT_TRUE(shell.starts_with("#!/bin/sh\n"));
  EXPECT_EQ(shell.find('\r'), std::string::npos);
  struct stat st;
  ASSERT_EQ(::stat((dir.path() + "import.sh").c_str(), &st), 0);
  EXPECT_TRUE(st.st_mode & S_IXUSR);
}

TEST(ExportFolder, DatabaseNamesThatAreNotIdentifiersAreBracketed) {
  TempDir dir;
  ExportFolder folder(dir.path(), u"C:\\APP]DATA\\DB.MDF");
  folder.WriteFixedFiles();
  EXPECT_EQ(FileBytes(dir.path() + "CreateDatabase.sql"),
            "USE master\r\nCreate Database [C:\\APP]]DATA\\DB.MDF]\r\n");
  EXPECT_EQ(folder.HeaderLine(), u"Use [C:\\APP]]DATA\\DB.MDF]");
}

TEST(ExportFolder, FileNamesStayInsideTheFolderAndApart) {
  struct Case {
    std::u16string stem, suffix, name;
  };
  const std::vector<Case> cases = {
      {u"Order_Details", u"_Create.sql", u"Order_Details_Create.sql"},
      {u"Orders Qry", u".sql", u"Orders Qry.sql"},
      {u"../x", u"_Create.sql", u".._x_Create.sql"},
      {u"..\\..\\x", u".sql", u".._.._x.sql"},
      {u"a:b*c?\"<>|", u".sql", u"a_b_c_____.sql"},
      {u"line\nbreak\x7f", u".sql", u"line_break_.sql"},
      {u"100%&^!", u".sql", u"100____.sql"},
      {u"CON", u".sql", u"_CON.sql"},
      {u"com7", u".sql", u"_com7.sql"},
      {u"CON", u"_Create.sql", u"CON_Create.sql"},
      {u"x.", u"", u"x._"},
      {u"..", u"", u".._"},
      {u"\u901a\u8a0a\u9304", u"_Create.sql", u"____Create.sql"},
      {u"", u".sql", u".sql"},
  };
  for (const Case& c : cases) EXPECT_EQ(SafeFileName(c.stem, c.suffix), c.name);
  const std::u16string longName(1000, u'n');
  EXPECT_EQ(SafeFileName(longName, u".sql").size(), kMaxFileStem + 4);

  TempDir dir;
  ExportFolder folder(dir.path(), u"db");
  EXPECT_EQ(folder.UniqueFileName("View", u"Orders", u".sql"), u"Orders.sql");
  EXPECT_EQ(folder.UniqueFileName("View", u"ORDERS", u".sql"), u"ORDERS_2.sql");
  EXPECT_EQ(folder.UniqueFileName("View", u"orders", u".sql"), u"orders_3.sql");
  EXPECT_EQ(folder.UniqueFileName("Function", u"Orders", u".sql"), u"Orders.sql");
  EXPECT_EQ(folder.UniqueFileName("View", u"a/b", u".sql"), u"a_b.sql");
  EXPECT_EQ(folder.UniqueFileName("View", u"a:b", u".sql"), u"a_b_2.sql");

  EXPECT_EQ(ExportFolder::SqlcmdLine(u"Orders_Create.sql"),
            u"sqlcmd -S localhost -i Orders_Create.sql");
  EXPECT_EQ(ExportFolder::SqlcmdLine(u"Orders Qry.sql"),
            u"sqlcmd -S localhost -i \"Orders Qry.sql\"");
}

TEST(ExportFolder, ScriptsTurnUnicodeOnlyWhenTheirTextNeedsIt) {
  TempDir dir;
  ExportFolder folder(dir.path(), u"db");
  const std::string plain = dir.path() + "plain.sql";
  const std::string wide = dir.path() + "wide.sql";
  ASSERT_TRUE(folder.CreateScript(plain));
  ASSERT_TRUE(folder.AppendStatement(plain, u"Insert into [T] Values('Caf\u00e9')"));
  EXPECT_EQ(FileBytes(plain), "Use db\r\nInsert into [T] Values('Caf\xe9')\r\n");

  ASSERT_TRUE(folder.CreateScript(wide));
  ASSERT_TRUE(folder.AppendStatement(wide, u"Insert into [T] Values('Caf\u00e9')"));
  ASSERT_TRUE(folder.AppendStatement(wide, u"Insert into [\u901a\u8a0a\u9304] Values(N'\u6703')"));
  ASSERT_TRUE(folder.AppendStatement(wide, u"Insert into [T] Values('x')"));
  const std::string bytes = FileBytes(wide);
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
  EXPECT_EQ(
      ScriptText(wide),
      u"Use db\r\nInsert into [T] Values('Caf\u00e9')\r\n"
      u"Insert into [\u901a\u8a0a\u9304] Values(N'\u6703')\r\nInsert into [T] Values('x')\r\n");

  // A batch file stays in the code page whatever it is given.
  folder.AppendToFile(u"cd \u901a", "x.bat");
  EXPECT_EQ(FileBytes(dir.path() + "x.bat"), "cd ?");
}

TEST(ExportFolder, ReadOnlyBatchFilesAreAppendedTo) {
  TempDir dir;
  ExportFolder folder(dir.path(), u"db");
  ASSERT_TRUE(folder.AppendToFile(u"echo OFF. ", "Tables_Create.bat"));
  const std::string path = dir.path() + "Tables_Create.bat";
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  EXPECT_TRUE(folder.AppendToFile(u"\r\n", "Tables_Create.bat"));
  EXPECT_EQ(FileBytes(path), "echo OFF. \r\n");
  struct stat st;
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_TRUE(st.st_mode & S_IWUSR);
}

TEST(ExportFolder, WritesThatFailAreNotedOncePerFile) {
  TempDir dir;
  ExportFolder folder(dir.path() + "missing/", u"db");
  EXPECT_FALSE(folder.AppendToFile(u"a", "Import.bat"));
  EXPECT_FALSE(folder.AppendToFile(u"b", "Import.bat"));
  EXPECT_FALSE(folder.CreateScript(dir.path() + "missing/x.sql"));
  EXPECT_FALSE(folder.AppendStatement(dir.path() + "y.sql", u"Select 1"));
  ASSERT_EQ(folder.Failures().size(), 3u);
  EXPECT_NE(folder.Failures()[0].find("missing/Import.bat"), std::string::npos);
  EXPECT_NE(folder.Failures()[0].find("No such file"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir.path() + "y.sql"));
}

TEST(ScriptFile, TurnsUnicodeInTheMiddleOfALongScriptWithoutLosingWhatWasWritten) {
  TempDir dir;
  const std::string path = dir.path() + "data.sql";
  ScriptFile file;
  ASSERT_TRUE(file.Open(path, ScriptFile::Mode::kCreate));
  std::u16string expected;
  for (int i = 0; i < 20000; ++i) {
    const std::u16string line =
        u"Insert into [T] Values(" + std::u16string(i % 50, u'x') + u"\u00e9)";
    ASSERT_TRUE(file.WriteLine(line));
    expected += line + u"\r\n";
  }
  EXPECT_FALSE(file.Unicode());
  ASSERT_TRUE(file.WriteLine(u"Insert into [T] Values(N'\U0001F600\u6703')"));
  expected += u"Insert into [T] Values(N'\U0001F600\u6703')\r\n";
  // A value of megabytes in one write, and lines after it.
  const std::u16string large = u"N'" + std::u16string(1 << 21, u'\u6703') + u"'";
  ASSERT_TRUE(file.WriteLine(large));
  expected += large + u"\r\n";
  ASSERT_TRUE(file.WriteLine(u"done"));
  expected += u"done\r\n";
  EXPECT_TRUE(file.Unicode());
  ASSERT_TRUE(file.Close());
  EXPECT_EQ(ScriptText(path), expected);

  // Appending to it later keeps it Unicode.
  ASSERT_TRUE(file.Open(path, ScriptFile::Mode::kExisting));
  ASSERT_TRUE(file.WriteLine(u"more"));
  ASSERT_TRUE(file.Close());
  EXPECT_EQ(ScriptText(path), expected + u"more\r\n");
}

}  // namespace
}  // namespace mendora

// The save job over hand-made catalogues: what is written for everything and
// for checked objects, module scripts line by line, names that would collide
// or leave the folder, and a stop that writes nothing more.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>

#include "engine/TypeCodes.h"
#include "engine/Utf16.h"
#include "export/SaveJob.h"
#include "tests/support/CatalogueMaker.h"
#include "tests/support/TempDir.h"

namespace mendora {
namespace {

namespace fs = std::filesystem;
using mdftest::FileBytes;
using mdftest::TempDir;

struct ShownDisplay final : ui::ExportDisplay {
  void SetObjectType(std::u16string_view t) override { type = t; }
  void SetObjectName(std::u16string_view t) override { names.emplace_back(t); }
  void SetSavedPath(std::u16string_view t) override { path = t; }
  void SetRecords(std::u16string_view t) override { records = t; }
  void SetObjects(std::u16string_view t) override { objects = t; }
  void SetCurrentProgress(int p) override { current = p; }
  void SetOverallProgress(int p) override { overall = p; }
  std::u16string type, path, records, objects;
  std::vector<std::u16string> names;
  int current = -1, overall = -1;
};

struct Shop : mdftest::CatalogueMaker {
  Shop() {
    c.databaseName = u"Sales";
    Object(u"Orders", 10, 0, u"U ");
    Object(u"Customers", 20, 0, u"U ");
    Object(u"PK_Orders", 11, 10, u"PK");
    Object(u"CK_Customers", 21, 20, u"C ");
    Object(u"Proc1", 30, 0, u"P ");
    Object(u"View A", 31, 0, u"V ");
    Column(10, u"OrderID", 1);
    Column(20, u"Id", 1);
    Key(10, 1, 1);
    Index(10, 1, u"PK_Orders", true, true);
    CheckText(21, u"([Id]>(0))");
    ModuleText(30, u"\r\n\r\ncreate procedure Proc1 as\r\n\tselect 'a\tb'\r\n\r\nselect 1\r\n");
    ModuleText(31, u"create view [View A] as select 1 as x", true);
  }
};

std::map<std::string, std::string> Files(const std::string& folder) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(folder)) {
    if (e.is_regular_file()) files[fs::relative(e.path(), folder).string()] = FileBytes(e.path());
  }
  return files;
}

SaveReport Save(const Catalogue& c, SaveRequest request, ShownDisplay& display) {
  DataFile file;
  ui::NoPacing pacer;
  SaveJob job(file, c, std::move(request), display, pacer);
  job.PrepareDestination();
  NullJobControl control;
  job.Run(control);
  return job.Report();
}

TEST(SaveJob, EverythingIsWritten) {
  Shop shop;
  TempDir dir;
  ShownDisplay display;
  const SaveReport report = Save(shop.c, {dir.path(), true, {}}, display);
  EXPECT_TRUE(report.Ok());
  auto files = Files(dir.path());

  EXPECT_EQ(files["Tables_Create/Orders_Create.sql"],
            "Use Sales\r\nCreate Table [Orders] ([OrderID] int Null)\r\n");
  EXPECT_EQ(files["Tables_Data/Customers_Data.sql"], "Use Sales\r\n");
  EXPECT_EQ(files["Tables_Data.bat"],
            "echo OFF. \r\ncd Tables_Data\r\nsqlcmd -S localhost -i Orders_Data.sql\r\n"
            "sqlcmd -S localhost -i Customers_Data.sql\r\n");
  EXPECT_EQ(files["PrimaryKey/PrimaryKeys.sql"],
            "Use Sales\r\nAlter Table Orders Add Constraint PK_Orders Primary Key "
            "Clustered(OrderID)\r\n");
  EXPECT_EQ(files["Indexes/Indexes.sql"], "Use Sales\r\n");
  EXPECT_EQ(files["Constraints/Constraints.sql"],
            "Use Sales\r\nAlter Table Customers Add Constraint CK_Customers Check ([Id]>(0))\r\n");
  // Leading line breaks go; every other line stays as stored, tabs included,
  // and a text that ends with a line break ends with an empty line.
  EXPECT_EQ(
      files["Programmability/Procedure/Proc1.sql"],
      "Use Sales\r\nGO\r\ncreate procedure Proc1 as\r\n\tselect 'a\tb'\r\n\r\nselect 1\r\n\r\n");
  EXPECT_EQ(files["Programmability/View/View A.sql"],
            "Use Sales\r\nGO\r\n-- text incomplete: rows missing\r\n"
            "create view [View A] as select 1 as x\r\n");
  EXPECT_EQ(files["View.bat"],
            "echo OFF. \r\ncd Programmability\r\ncd View\r\n\r\n"
            "sqlcmd -S localhost -i \"View A.sql\"\r\n");
  // Two tables and two modules; the bar ends full.
  EXPECT_EQ(display.objects, u"4/4");
  EXPECT_EQ(display.overall, 100);
}

TEST(SaveJob, OnlyCheckedObjectsAreWritten) {
  Shop shop;
  TempDir dir;
  ShownDisplay display;
  const SaveReport report = Save(shop.c, {dir.path(), false, {u"Orders(12)", u"Proc1"}}, display);
  EXPECT_TRUE(report.Ok());
  auto files = Files(dir.path());
  EXPECT_TRUE(files.count("Tables_Create/Orders_Create.sql"));
  EXPECT_FALSE(files.count("Tables_Create/Customers_Create.sql"));
  EXPECT_TRUE(files.count("Programmability/Procedure/Proc1.sql"));
  EXPECT_FALSE(files.count("Programmability/View/View A.sql"));
  EXPECT_EQ(files["Constraints/Constraints.sql"], "Use Sales\r\n");
  EXPECT_NE(files["PrimaryKey/PrimaryKeys.sql"].find("PK_Orders"), std::string::npos);
  EXPECT_EQ(display.objects, u"2/2");
}

TEST(SaveJob, NamesThatCollideOrLeaveTheFolderGetFilesOfTheirOwn) {
  Shop shop;
  shop.c.userTables.clear();
  shop.c.objects.clear();
  shop.c.moduleTexts.clear();
  shop.Object(u"T", 1, 0, u"U ");
  shop.Object(u"t", 2, 0, u"U ");
  shop.Object(u"../x", 3, 0, u"U ");
  shop.Object(u"CON", 6, 0, u"U ");
  shop.Object(u"CON", 4, 0, u"P ");
  shop.Object(u"con", 5, 0, u"P ");
  TempDir dir;
  ShownDisplay display;
  ASSERT_TRUE(Save(shop.c, {dir.path(), true, {}}, display).Ok());
  auto files = Files(dir.path());
  for (const char* name :
       {"Tables_Create/T_Create.sql", "Tables_Create/t_2_Create.sql", "Tables_Data/t_2_Data.sql",
        "Tables_Create/.._x_Create.sql", "Tables_Create/CON_Create.sql", "Tables_Data/CON_Data.sql",
        "Programmability/Procedure/_CON.sql", "Programmability/Procedure/_con_2.sql"}) {
    EXPECT_TRUE(files.count(name)) << name;
  }
  EXPECT_NE(files["Tables_Create/t_2_Create.sql"].find("Create Table [t] ("), std::string::npos);
  EXPECT_NE(files["Tables_Create.bat"].find("-i t_2_Create.sql\r\n"), std::string::npos);
  EXPECT_NE(files["Procedure.bat"].find("-i _con_2.sql\r\n"), std::string::npos);
  EXPECT_FALSE(fs::exists(dir.path() + "../x_Create.sql"));
}

// Stops the job at its n-th checkpoint, noting what the folder held then.
class StopAt final : public JobControl {
 public:
  StopAt(int n, std::string folder) : n_(n), folder_(std::move(folder)) {}
  void Hold() override {}
  void Release() override {}
  void Stop() override {}
  bool Stopped() const override { return stopped_; }
  void Checkpoint() override {
    if (stopped_ || --n_ > 0) return;
    stopped_ = true;
    atStop = Files(folder_);
    throw JobStopped();
  }
  std::map<std::string, std::string> atStop;

 private:
  int n_;
  std::string folder_;
  bool stopped_ = false;
};

TEST(SaveJob, NothingIsWrittenAfterAStop) {
  Shop shop;
  for (int n : {1, 5, 12, 30}) {
    TempDir dir;
    ShownDisplay display;
    DataFile file;
    ui::NoPacing pacer;
    // One worker: the stop is seen by the one thread that writes.
    SaveRequest request{dir.path(), true, {}};
    request.workers = 1;
    SaveJob job(file, shop.c, request, display, pacer);
    job.PrepareDestination();
    StopAt stop(n, dir.path());
    EXPECT_THROW(job.Run(stop), JobStopped) << n;
    EXPECT_EQ(Files(dir.path()), stop.atStop) << n;
    EXPECT_FALSE(job.Report().completed);
  }
}

// import.sh replays what the batch files list, in Import.bat's order, each
// script from its own folder: a stand-in sqlcmd notes where it ran and what.
TEST(SaveJob, ImportScriptReplaysTheBatchFilesInOrder) {
  Shop shop;
  TempDir dir;
  ShownDisplay display;
  ASSERT_TRUE(Save(shop.c, {dir.path(), true, {}}, display).Ok());
  TempDir bin;
  const std::string log = bin.path() + "log";
  {
    std::ofstream stub(bin.path() + "sqlcmd");
    stub << "#!/bin/sh\necho \"$(basename \"$PWD\") $*\" >> '" << log << "'\n";
  }
  fs::permissions(bin.path() + "sqlcmd", fs::perms::owner_all);
  const std::string command = "cd / && PATH='" + bin.path() + "':\"$PATH\" SQLCMDSERVER= sh '" +
                              dir.path() + "import.sh' > /dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0);
  const std::string folder = fs::path(dir.path()).parent_path().filename().string();
  EXPECT_EQ(FileBytes(log), folder + " -i CreateDatabase.sql\n" +
                                "Tables_Create -i Orders_Create.sql\n"
                                "Tables_Create -i Customers_Create.sql\n"
                                "PrimaryKey -i PrimaryKeys.sql\n"
                                "Indexes -i Indexes.sql\n"
                                "Tables_Data -i Orders_Data.sql\n"
                                "Tables_Data -i Customers_Data.sql\n"
                                "ForeignKey -i ForeignKeys.sql\n"
                                "UniqueKey -i UniqueKeys.sql\n"
                                "Constraints -i Constraints.sql\n"
                                "Procedure -i Proc1.sql\n"
                                "View -i View A.sql\n");
}

}  // namespace
}  // namespace mendora

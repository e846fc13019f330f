// The save's preparation over the in-memory tree: what the check boxes ask to
// save, the new folder's name, and the folder made under the one the user
// picks, with the refusals a bad choice meets.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <deque>
#include <filesystem>
#include <fstream>

#include "browser/Destination.h"
#include "browser/TreeClick.h"
#include "engine/Utf16.h"
#include "tests/support/ScriptedPrompts.h"
#include "ui/MemoryTreeControl.h"

using namespace mendora;
using ui::TreeHandle;
namespace fs = std::filesystem;

namespace {

struct Tree {
  Catalogue c;
  ui::MemoryTreeControl tree;
  ObjectHandleList handles;
  ObjectTreeNodes nodes;

  Tree() {
    Table(u"Orders", 1);
    Table(u"Customers", 2);
    c.objects.push_back({u"p1", 4, 0, u"P "});
    c.objects.push_back({u"v1", 6, 0, u"V "});
    nodes = ResetAndBuildObjectTree(tree, c, FlagsForVersion(kVersion2005), u"F.MDF", handles);
  }
  void Table(std::u16string name, int64_t id) {
    _SYSOBJECTS o{std::move(name), id, 0, u"U "};
    c.objects.push_back(o);
    c.userTables.push_back(o);
  }
  TreeHandle Child(TreeHandle parent, std::u16string_view prefix) const {
    for (TreeHandle h : tree.GetChildItems(parent)) {
      if (tree.GetItemText(h).starts_with(prefix)) return h;
    }
    ADD_FAILURE() << "no child " << ToUtf8(prefix);
    return ui::kNoTreeItem;
  }
  // A check-box click, as the user checks a branch.
  void Check(TreeHandle node) { ToggleNodeCheck(tree, handles, node); }
  SaveScope Collect(std::vector<std::u16string>& names) const {
    return CollectCheckedObjects(tree, nodes, handles, names);
  }
};

// Answers the folder browser from a script and records the titles it was shown with.
class ScriptedFolders final : public ui::FolderBrowser {
 public:
  std::deque<std::string> answers;
  std::vector<std::string> titles;
  std::string ChooseFolder(const std::string& title) override {
    titles.push_back(title);
    if (answers.empty()) return {};
    std::string answer = answers.front();
    answers.pop_front();
    return answer;
  }
};

// A scratch folder of the test's own, removed with everything in it.
class ScratchFolder {
 public:
  ScratchFolder() {
    std::string pattern = (fs::temp_directory_path() / "mendora-dest-XXXXXX").string();
    path_ = mkdtemp(pattern.data()) ? pattern : std::string();
  }
  ~ScratchFolder() {
    std::error_code ignored;
    if (!path_.empty()) fs::remove_all(path_, ignored);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

std::tm At(int year, int month, int day, int hour, int minute, int second) {
  std::tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  return t;
}

// One Save's destination step over a tree, with scripted answers.
struct Choice {
  Tree t;
  ScriptedFolders folders;
  ui::ScriptedPrompts prompts;
  ui::JobState state;
  std::vector<std::u16string> names;
  std::u16string database = u"Sales";
  std::tm when = At(2009, 7, 3, 14, 5, 9);
  ui::SaveFormat format = ui::SaveFormat::kSql;

  bool Run() {
    DestinationContext context{
        t.tree, t.nodes, t.handles, database, folders, prompts, [this] { return when; }, format};
    return ChooseDestination(context, state, names);
  }
};

}  // namespace

TEST(CollectCheckedObjects, OnlyTheTablesNodeGivesItsTablesButNotItsOwnLabel) {
  Tree t;
  t.Check(t.nodes.tables);
  std::vector<std::u16string> names{u"left over"};
  EXPECT_EQ(t.Collect(names), SaveScope::kCheckedObjects);
  const std::u16string orders = t.tree.GetItemText(t.Child(t.nodes.tables, u"Orders("));
  const std::u16string customers = t.tree.GetItemText(t.Child(t.nodes.tables, u"Customers("));
  // In the handle list's order: the tables in catalogue order.
  EXPECT_EQ(names, (std::vector<std::u16string>{orders, customers}));
  EXPECT_TRUE(orders.ends_with(u")"));
}

TEST(CollectCheckedObjects, TheRootCheckedSavesEverythingWithAnEmptyList) {
  Tree t;
  t.Check(t.Child(t.nodes.procedures, u"p1"));
  t.Check(t.nodes.root);
  std::vector<std::u16string> names{u"left over"};
  EXPECT_EQ(t.Collect(names), SaveScope::kEverything);
  EXPECT_TRUE(names.empty());
}

TEST(CollectCheckedObjects, TablesAndProgrammabilityCheckedSaveEverythingEvenWithTheRootUnchecked) {
  Tree t;
  t.Check(t.nodes.tables);
  t.Check(t.nodes.programmability);
  t.tree.SetStateImage(t.nodes.root, ui::kUnchecked);
  std::vector<std::u16string> names;
  EXPECT_EQ(t.Collect(names), SaveScope::kEverything);
  EXPECT_TRUE(names.empty());
  // Programmability alone is not everything.
  t.tree.SetStateImage(t.nodes.tables, ui::kUnchecked);
  EXPECT_EQ(t.Collect(names), SaveScope::kCheckedObjects);
}

TEST(CollectCheckedObjects, ModulesAndCheckedGroupsAreListedByLabel) {
  Tree t;
  t.Check(t.nodes.procedures);  // the group and its one module
  t.Check(t.Child(t.nodes.views, u"v1"));
  std::vector<std::u16string> names;
  EXPECT_EQ(t.Collect(names), SaveScope::kCheckedObjects);
  // Modules come before the groups in the handle list; the Views group is
  // checked too, having all its modules checked.
  EXPECT_EQ(names, (std::vector<std::u16string>{u"p1", u"v1", u"Procedures(1)", u"Views(1)"}));
}

TEST(CollectCheckedObjects, ANodeWithoutACheckBoxCountsAsChecked) {
  Tree t;
  const TreeHandle customers = t.Child(t.nodes.tables, u"Customers(");
  t.tree.SetStateImage(customers, ui::kNoCheckBox);
  std::vector<std::u16string> names;
  EXPECT_EQ(t.Collect(names), SaveScope::kCheckedObjects);
  EXPECT_EQ(names, std::vector<std::u16string>{t.tree.GetItemText(customers)});
}

TEST(SaveFolderName, DatabaseTimeAndDateWithTwoDigitsEach) {
  EXPECT_EQ(SaveFolderName(u"Sales", At(2009, 7, 3, 14, 5, 9)),
            "MDRecovered_Sales.mdf_14.05.09_07-03-09");
  EXPECT_EQ(SaveFolderName(u"Big_Shop", At(2000, 12, 31, 0, 0, 0)),
            "MDRecovered_Big_Shop.mdf_00.00.00_12-31-00");
  EXPECT_EQ(SaveFolderName(u"Caf\u00e9", At(2026, 1, 2, 23, 59, 58)),
            "MDRecovered_Caf\xc3\xa9.mdf_23.59.58_01-02-26");
  // A name that would reach into another folder stays one folder name.
  EXPECT_EQ(SaveFolderName(u"../etc/x", At(2009, 7, 3, 14, 5, 9)),
            "MDRecovered_.._etc_x.mdf_14.05.09_07-03-09");
  // A name stored as a Windows path: no drive or path separator, nothing a
  // Windows folder name refuses.
  EXPECT_EQ(SaveFolderName(u"C:\\ASP.NET_PRO_2.0\\App_Data\\X.MDF", At(2009, 7, 3, 14, 5, 9)),
            "MDRecovered_C__ASP.NET_PRO_2.0_App_Data_X.MDF.mdf_14.05.09_07-03-09");
  EXPECT_EQ(SaveFolderName(u"a*b?c\"d<e>f|g\tz", At(2009, 7, 3, 14, 5, 9)),
            "MDRecovered_a_b_c_d_e_f_g_z.mdf_14.05.09_07-03-09");
}

TEST(ChooseDestination, MakesTheFolderAndEndsThePathWithASeparator) {
  ScratchFolder scratch;
  ASSERT_FALSE(scratch.path().empty());
  for (const std::string& picked : {scratch.path(), scratch.path() + "/"}) {
    Choice choice;
    choice.t.Check(choice.t.nodes.root);
    choice.when = At(2009, 7, 3, 14, 5, picked.back() == '/' ? 10 : 9);
    choice.folders.answers = {picked};
    ASSERT_TRUE(choice.Run());
    const std::string expected = scratch.path() + "/" + SaveFolderName(u"Sales", choice.when) + "/";
    EXPECT_EQ(choice.state.DestinationFolder(), expected);  // never a doubled "/"
    EXPECT_TRUE(fs::is_directory(expected));
    EXPECT_TRUE(choice.state.destinationChosen);
    EXPECT_TRUE(choice.state.saveAllObjects);
    EXPECT_EQ(choice.folders.titles, std::vector<std::string>{"Select the Destination Path"});
    EXPECT_TRUE(choice.prompts.Shown().empty());
  }
}

TEST(ChooseDestination, SavesWithinOneSecondEachGetAFolderOfTheirOwn) {
  ScratchFolder scratch;
  std::vector<std::string> made;
  for (int save = 0; save < 3; ++save) {
    Choice choice;
    choice.t.Check(choice.t.nodes.tables);
    choice.folders.answers = {scratch.path()};
    ASSERT_TRUE(choice.Run());
    EXPECT_FALSE(choice.state.saveAllObjects);
    made.push_back(choice.state.DestinationFolder());
  }
  const std::string base = scratch.path() + "/MDRecovered_Sales.mdf_14.05.09_07-03-09";
  EXPECT_EQ(made, (std::vector<std::string>{base + "/", base + "_2/", base + "_3/"}));
  for (const std::string& folder : made) EXPECT_TRUE(fs::is_directory(folder));
}

TEST(ChooseDestination, ASqliteSaveMakesANewFileAndNeverWritesOverOne) {
  ScratchFolder scratch;
  const std::string base = scratch.path() + "/MDRecovered_Sales.mdf_14.05.09_07-03-09";
  // A file of that name is there already, with something in it.
  std::ofstream(base + ".sqlite") << "kept";
  Choice choice;
  choice.t.Check(choice.t.nodes.root);
  choice.format = ui::SaveFormat::kSqlite;
  choice.folders.answers = {scratch.path()};
  ASSERT_TRUE(choice.Run());
  EXPECT_EQ(choice.state.DestinationFolder(), base + "_2.sqlite");
  EXPECT_EQ(fs::file_size(base + "_2.sqlite"), 0u);
  EXPECT_EQ(fs::file_size(base + ".sqlite"), 4u);
  EXPECT_FALSE(fs::exists(base));
}

TEST(ChooseDestination, CancelChangesNothingButWhatToSave) {
  Choice choice;
  choice.t.Check(choice.t.nodes.tables);
  choice.state.SetDestinationFolder("untouched/");
  EXPECT_FALSE(choice.Run());
  EXPECT_FALSE(choice.state.destinationChosen);
  EXPECT_EQ(choice.state.DestinationFolder(), "untouched/");
  EXPECT_TRUE(choice.prompts.Shown().empty());
  // What to save was read before the folder was asked for.
  EXPECT_EQ(choice.names.size(), 2u);
}

TEST(ChooseDestination, AMissingOrNonFolderPathIsRefused) {
  ScratchFolder scratch;
  const std::string file = scratch.path() + "/plain.txt";
  {
    std::FILE* f = std::fopen(file.c_str(), "w");
    ASSERT_TRUE(f);
    std::fclose(f);
  }
  for (const std::string& picked : {scratch.path() + "/missing", file}) {
    Choice choice;
    choice.t.Check(choice.t.nodes.root);
    choice.folders.answers = {picked};
    EXPECT_FALSE(choice.Run());
    EXPECT_FALSE(choice.state.destinationChosen);
    EXPECT_EQ(choice.state.DestinationFolder(), "");
    ASSERT_EQ(choice.prompts.Shown().size(), 1u);
    EXPECT_EQ(choice.prompts.Shown()[0].text,
              "Saving path doesn't exist, select another path for saving ");
    EXPECT_EQ(choice.prompts.Shown()[0].caption, "Mendora for Sql Server");
    EXPECT_EQ(choice.prompts.Shown()[0].kind, ui::PromptRecord::Kind::kNotice);
  }
  EXPECT_FALSE(fs::exists(scratch.path() + "/missing"));
}

TEST(ChooseDestination, AFolderThatCannotBeMadeIsReported) {
  ScratchFolder scratch;
  Choice choice;
  choice.t.Check(choice.t.nodes.root);
  // Longer than a folder name may be.
  choice.database = std::u16string(300, u'x');
  choice.folders.answers = {scratch.path()};
  EXPECT_FALSE(choice.Run());
  EXPECT_FALSE(choice.state.destinationChosen);
  EXPECT_EQ(choice.state.DestinationFolder(), "");
  ASSERT_EQ(choice.prompts.Shown().size(), 1u);
  EXPECT_TRUE(choice.prompts.Shown()[0].text.starts_with(
      "Cannot create the folder for saving: " + scratch.path() + "/MDRecovered_xxx"));
  EXPECT_TRUE(fs::is_empty(scratch.path()));
}

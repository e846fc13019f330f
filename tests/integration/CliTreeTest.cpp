// mendora-cli tree on every real data file: the tables with their row counts,
// the columns with types and nullability, the keys, indexes, checks and
// modules must be those MANIFEST.md lists; refused versions print the bare
// root and the refusal.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <sstream>

#include "tests/integration/ReferenceFiles.h"
#include "tests/support/MdfBuilder.h"
#include "tests/support/RealFiles.h"
#include "ui/ProductTexts.h"

namespace {

// ---- What MANIFEST.md says about one file ----

struct ManifestColumn {
  std::string name, type;
  int length = 0;
  bool notNull = false;
};

struct ManifestTable {
  std::string name;
  long long rows = 0;
  std::vector<ManifestColumn> columns;
};

struct Named {
  std::string name, owner;  // owner: the table, or the module's type code
};

struct ManifestFile {
  bool found = false;
  bool refused = false;
  int tableCount = -1;
  std::vector<ManifestTable> tables;
  std::vector<Named> primaryKeys, uniqueKeys, foreignKeys, checks, indexes, modules;
};

std::vector<ManifestColumn> ParseColumns(const std::string& list) {
  static const std::regex column(R"(^(.+) ([a-z0-9_]+)\((-?\d+)\)( not null)?$)");
  std::vector<ManifestColumn> out;
  std::stringstream in(list);
  std::string item;
  while (std::getline(in, item, ',')) {
    if (!item.empty() && item[0] == ' ') item.erase(0, 1);
    std::smatch m;
    if (!std::regex_match(item, m, column)) {
      ADD_FAILURE() << "unreadable manifest column: " << item;
      continue;
    }
    out.push_back({m[1], m[2], std::stoi(m[3]), m[4].matched});
  }
  return out;
}

ManifestFile ReadManifest(const std::string& manifest, const std::string& file) {
  static const std::regex userTables(R"(^- user tables \((\d+)\))");
  static const std::regex table("^  - `(.+?)`: \\d+ / (\\d+) \xE2\x80\x94 (.*)$");
  static const std::regex primaryKey(R"(^- primary key `(.+?)` on `(.+?)` \()");
  static const std::regex uniqueKey(R"(^- unique key `(.+?)` on `(.+?)` \()");
  static const std::regex foreignKey(R"(^- foreign key `(.+?)`: `(.+?)`\()");
  static const std::regex check(R"(^- check `(.+?)` on `(.+?)`: )");
  static const std::regex index(R"(^- index `(.+?)` on `(.+?)` \()");
  static const std::regex module(R"(^- module ([A-Z]+) `(.+?)`( \(created by the server\))?: )");

  ManifestFile out;
  std::stringstream in(manifest);
  std::string line;
  bool inSection = false;
  while (std::getline(in, line)) {
    if (line.rfind("### ", 0) == 0) {
      inSection = line == "### " + file;
      out.found |= inSection;
      continue;
    }
    if (!inSection) continue;
    std::smatch m;
    if (line.rfind("- refused:", 0) == 0) {
      out.refused = true;
    } else if (std::regex_search(line, m, userTables)) {
      out.tableCount = std::stoi(m[1]);
    } else if (std::regex_match(line, m, table)) {
      out.tables.push_back({m[1], std::stoll(m[2]), ParseColumns(m[3])});
    } else if (std::regex_search(line, m, primaryKey)) {
      out.primaryKeys.push_back({m[1], m[2]});
    } else if (std::regex_search(line, m, uniqueKey)) {
      out.uniqueKeys.push_back({m[1], m[2]});
    } else if (std::regex_search(line, m, foreignKey)) {
      out.foreignKeys.push_back({m[1], m[2]});
    } else if (std::regex_search(line, m, check)) {
      out.checks.push_back({m[1], m[2]});
    } else if (std::regex_search(line, m, index)) {
      out.indexes.push_back({m[1], m[2]});
    } else if (std::regex_search(line, m, module)) {
      out.modules.push_back({m[2], m[1]});
    }
  }
  return out;
}

// ---- The printed tree ----

struct Node {
  std::string label;
  std::vector<std::unique_ptr<Node>> children;
};

struct RunResult {
  int status = -1;
  std::string out, err;
};

RunResult RunTree(const std::string& path) {
  mdftest::TempFile errFile(".err");
  std::string command =
      std::string("'") + MENDORA_CLI_PATH + "' tree '" + path + "' 2>'" + errFile.path() + "'";
  RunResult r;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return r;
  char buffer[65536];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) r.out.append(buffer, n);
  int raw = pclose(pipe);
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  std::ifstream err(errFile.path());
  std::stringstream ss;
  ss << err.rdbuf();
  r.err = ss.str();
  return r;
}

// Rebuilds the tree from the indentation: two spaces per level.
std::unique_ptr<Node> ParseTree(const std::string& text) {
  auto top = std::make_unique<Node>();
  std::vector<Node*> path = {top.get()};
  std::stringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    size_t indent = line.find_first_not_of(' ');
    if (indent == std::string::npos || indent % 2 != 0 || indent / 2 + 1 > path.size()) {
      ADD_FAILURE() << "badly indented line: " << line;
      continue;
    }
    path.resize(indent / 2 + 1);
    auto node = std::make_unique<Node>();
    node->label = line.substr(indent);
    Node* raw = node.get();
    path.back()->children.push_back(std::move(node));
    path.push_back(raw);
  }
  return top;
}

// The label without its "(n)" and the n.
std::pair<std::string, long long> SplitCount(const std::string& label) {
  size_t open = label.rfind('(');
  if (open == std::string::npos || label.back() != ')') return {label, -1};
  return {label.substr(0, open), std::stoll(label.substr(open + 1, label.size() - open - 2))};
}

const Node* FindChild(const Node& parent, const std::string& name) {
  for (const auto& child : parent.children) {
    if (child->label == name || SplitCount(child->label).first == name) return child.get();
  }
  return nullptr;
}

std::vector<std::string> ChildLabels(const Node* node) {
  std::vector<std::string> out;
  if (node) {
    for (const auto& child : node->children) out.push_back(child->label);
  }
  return out;
}

// A group's count must be the number of its children; returns the children.
std::vector<std::string> GroupItems(const Node& table, const std::string& group) {
  const Node* node = FindChild(table, group);
  if (!node) {
    ADD_FAILURE() << "no group " << group << " under " << table.label;
    return {};
  }
  EXPECT_EQ(SplitCount(node->label).second, (long long)node->children.size()) << node->label;
  return ChildLabels(node);
}

std::vector<std::string> Sorted(std::vector<std::string> v) {
  std::sort(v.begin(), v.end());
  return v;
}

std::vector<std::string> NamesOn(const std::vector<Named>& list, const std::string& owner) {
  std::vector<std::string> out;
  for (const Named& n : list) {
    if (n.owner == owner) out.push_back(n.name);
  }
  return out;
}

std::string Nullability(const ManifestColumn& c) {
  return c.notNull ? "Not Null" : "Null";
}

// The column label expected from the manifest's type and stored length.
// decimal/numeric and the time types show precision and scale, which the
// manifest does not give, so only their shape is checked.
void ExpectColumnLabel(const ManifestColumn& c, const std::string& givenLabel) {
  // The manifest does not say which columns are identity columns: their
  // mark is taken off (the builder-made files' tests check it).
  const std::string label =
      std::regex_replace(givenLabel, std::regex(R"(,Identity\(-?\d+,-?\d+\)\)$)"), ")");
  std::string n = Nullability(c);
  if (c.type == "decimal" || c.type == "numeric" || c.type == "time" || c.type == "datetime2" ||
      c.type == "datetimeoffset") {
    std::string size = (c.type == "decimal" || c.type == "numeric") ? R"(\d+,\d+)" : R"(\d+)";
    std::regex shape("^" +
                     std::regex_replace(c.name, std::regex(R"([.^$|()\[\]{}*+?\\])"), R"(\$&)") +
                     "\\(" + c.type + "\\(" + size + "\\)," + n + "\\)$");
    EXPECT_TRUE(std::regex_match(label, shape)) << label << " for " << c.name << " " << c.type;
    return;
  }
  std::string size;
  if (c.type == "varchar" || c.type == "char") {
    size = c.length == -1 ? "max" : std::to_string(c.length);
  } else if (c.type == "nvarchar" || c.type == "nchar") {
    size = c.length == -1 ? "max" : std::to_string(c.length / 2);
  }
  std::string expected =
      c.name + "(" + c.type + (size.empty() ? "" : "(" + size + ")") + "," + n + ")";
  EXPECT_EQ(label, expected);
}

bool LowerLess(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower((unsigned char)x) < std::tolower((unsigned char)y);
  });
}

void CheckTable(const Node& tables, const ManifestTable& t, const ManifestFile& mf,
                const std::set<std::string>& objectNames) {
  SCOPED_TRACE(t.name);
  const Node* node = FindChild(tables, t.name);
  ASSERT_NE(node, nullptr) << "table missing";
  EXPECT_EQ(node->label, t.name + "(" + std::to_string(t.rows) + ")");
  std::vector<std::string> groupNames;
  for (const auto& child : node->children) groupNames.push_back(SplitCount(child->label).first);
  EXPECT_EQ(groupNames, (std::vector<std::string>{"Columns", "Primary Keys", "Unique Keys",
                                                  "Foreign Keys", "Indexes", "Constraints"}));

  std::vector<std::string> columns = GroupItems(*node, "Columns");
  ASSERT_EQ(columns.size(), t.columns.size());
  for (size_t i = 0; i < columns.size(); ++i) ExpectColumnLabel(t.columns[i], columns[i]);

  EXPECT_EQ(GroupItems(*node, "Primary Keys"), NamesOn(mf.primaryKeys, t.name));
  EXPECT_EQ(Sorted(GroupItems(*node, "Unique Keys")), Sorted(NamesOn(mf.uniqueKeys, t.name)));
  EXPECT_EQ(Sorted(GroupItems(*node, "Foreign Keys")), Sorted(NamesOn(mf.foreignKeys, t.name)));
  EXPECT_EQ(Sorted(GroupItems(*node, "Constraints")), Sorted(NamesOn(mf.checks, t.name)));
  // An index named like an object (a table, key, check or module) is not shown.
  std::vector<std::string> indexes;
  for (const std::string& name : NamesOn(mf.indexes, t.name)) {
    if (!objectNames.count(name)) indexes.push_back(name);
  }
  EXPECT_EQ(Sorted(GroupItems(*node, "Indexes")), Sorted(indexes));
}

void CheckModules(const Node& root, const ManifestFile& mf) {
  const Node* programmability = FindChild(root, "Programmability");
  ASSERT_NE(programmability, nullptr);
  std::vector<std::string> groupNames;
  for (const auto& child : programmability->children) {
    groupNames.push_back(SplitCount(child->label).first);
  }
  EXPECT_EQ(groupNames, (std::vector<std::string>{"Procedures", "Functions", "Triggers", "Views"}));
  std::map<std::string, std::string> groupOfType = {
      {"P", "Procedures"}, {"X", "Procedures"}, {"FN", "Functions"}, {"IF", "Functions"},
      {"TF", "Functions"}, {"TR", "Triggers"},  {"V", "Views"}};
  for (const std::string group : {"Procedures", "Functions", "Triggers", "Views"}) {
    std::vector<std::string> expected;
    for (const Named& m : mf.modules) {
      if (groupOfType[m.owner] == group) expected.push_back(m.name);
    }
    std::vector<std::string> shown = GroupItems(*programmability, group);
    EXPECT_EQ(Sorted(shown), Sorted(expected)) << group;
    EXPECT_TRUE(std::is_sorted(shown.begin(), shown.end(), LowerLess)) << group;
  }
}

// A file of a release after 2008, which the manifest lists as refused: its
// tables as the reference has them, with their recorded row counts, and none
// of the server's own objects.
void CheckLaterFile(const std::string& path, const RunResult& run, const nlohmann::json& ref) {
  ASSERT_EQ(run.status, 0) << run.err;
  auto top = ParseTree(run.out);
  ASSERT_EQ(top->children.size(), 1u);
  const Node& root = *top->children[0];
  std::vector<std::string> expected;
  for (const auto& t : ref["tables"]) {
    if (mdftest::IsBuiltInSchema(t)) continue;
    expected.push_back(t["name"].get<std::string>() + "(" +
                       std::to_string(t["row_count"].get<long long>()) + ")");
  }
  ASSERT_FALSE(root.children.empty());
  const Node& tables = *root.children[0];
  EXPECT_EQ(tables.label, "Tables(" + std::to_string(expected.size()) + ")");
  EXPECT_EQ(Sorted(ChildLabels(&tables)), Sorted(expected));
  EXPECT_EQ(run.out.find("trace_xe_"), std::string::npos);
  EXPECT_EQ(run.out.find("sp_executesql"), std::string::npos);
}

void CheckFile(const std::string& file, const std::string& manifest) {
  SCOPED_TRACE(file);
  ManifestFile mf = ReadManifest(manifest, file);
  ASSERT_TRUE(mf.found) << "MANIFEST.md has no section for " << file;
  std::string path = mdftest::RealMdf(file);
  RunResult run = RunTree(path);

  const auto readable = mdftest::ReferenceFiles();
  if (mf.refused && std::count(readable.begin(), readable.end(), file)) {
    CheckLaterFile(path, run, mdftest::Reference(file));
    return;
  }
  if (mf.refused) {
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, std::string(texts::kProductName) + "\n");
    EXPECT_NE(run.err.find(texts::kVersionNotAppropriate), std::string::npos) << run.err;
    return;
  }
  ASSERT_EQ(run.status, 0) << run.err;
  auto top = ParseTree(run.out);
  ASSERT_EQ(top->children.size(), 1u);
  const Node& root = *top->children[0];
  EXPECT_EQ(root.label, path);
  ASSERT_EQ(root.children.size(), 2u);
  const Node& tables = *root.children[0];
  EXPECT_EQ(tables.label, "Tables(" + std::to_string(mf.tableCount) + ")");
  EXPECT_EQ(tables.children.size(), mf.tables.size());
  std::vector<std::string> tableLabels = ChildLabels(&tables);
  EXPECT_TRUE(std::is_sorted(tableLabels.begin(), tableLabels.end(), LowerLess));

  std::set<std::string> objectNames;
  for (const auto& t : mf.tables) objectNames.insert(t.name);
  for (const auto* list :
       {&mf.primaryKeys, &mf.uniqueKeys, &mf.foreignKeys, &mf.checks, &mf.modules}) {
    for (const Named& n : *list) objectNames.insert(n.name);
  }
  for (const ManifestTable& t : mf.tables) CheckTable(tables, t, mf, objectNames);
  CheckModules(root, mf);
}

}  // namespace

TEST(CliTreeTest, EveryRealFileShowsWhatTheManifestLists) {
  std::string manifest = mdftest::RealManifest();
  std::vector<std::string> files = mdftest::RealMdfFiles();
  ASSERT_FALSE(files.empty());
  for (const std::string& file : files) CheckFile(file, manifest);
}

TEST(CliTreeTest, ManifestReaderFindsTheFactsItChecks) {
  // The checks above are only as good as the manifest reading: make sure it
  // sees the facts of a file known to have all kinds.
  ManifestFile pubs = ReadManifest(mdftest::RealManifest(), "v539-pubs.mdf");
  ASSERT_TRUE(pubs.found);
  EXPECT_FALSE(pubs.refused);
  EXPECT_EQ(pubs.tableCount, 11);
  EXPECT_EQ(pubs.tables.size(), 11u);
  EXPECT_FALSE(pubs.primaryKeys.empty());
  EXPECT_FALSE(pubs.foreignKeys.empty());
  EXPECT_FALSE(pubs.checks.empty());
  EXPECT_FALSE(pubs.indexes.empty());
  EXPECT_FALSE(pubs.modules.empty());
  ASSERT_FALSE(pubs.tables[0].columns.empty());
  EXPECT_TRUE(pubs.tables[0].columns[0].notNull);

  ManifestFile refused = ReadManifest(mdftest::RealManifest(), "x607-prerelease.mdf");
  EXPECT_TRUE(refused.found);
  EXPECT_TRUE(refused.refused);
  EXPECT_FALSE(ReadManifest(mdftest::RealManifest(), "no-such-file.mdf").found);
}

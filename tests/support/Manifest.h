// Reads the facts MANIFEST.md records about each real data file, so tests
// compare what we recover with what the server wrote, never with our own
// earlier output.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace mdftest {

struct ManifestColumn {
  std::string name;
  std::string type;  // "nvarchar", "int", ...
  int length = 0;    // as written in parentheses; -1 for (max)
  bool notNull = false;
};

// One value of a sample row: JSON null, a number, a boolean or a string
// (tagged strings such as "money:14.0000" kept as written).
struct ManifestValue {
  enum class Kind { Null, Number, Bool, String } kind = Kind::Null;
  std::string text;  // the number as written, "true"/"false", or the string
};

struct ManifestTable {
  std::string name;
  int columnCount = 0;
  long rowCount = 0;
  std::vector<ManifestColumn> columns;
  std::vector<std::vector<ManifestValue>> rows;  // the sample rows listed
};

struct ManifestKey {
  std::string kind;  // "primary key", "unique key", "foreign key", "check", "index"
  std::string name;
  std::string table;
  std::string text;  // check: the constraint text; index: "nonclustered"/"clustered"/...
};

struct ManifestModule {
  std::string type;  // "P", "V", "FN", "TR", ...
  std::string name;
  int characters = 0;
  std::string firstLine;
};

struct ManifestFile {
  std::string file;
  int version = 0;
  bool refused = false;
  std::string databaseName;  // padding stripped
  std::vector<ManifestTable> tables;
  std::vector<ManifestKey> keys;
  std::vector<ManifestModule> modules;
};

// Every file section of MANIFEST.md, by file name.
std::map<std::string, ManifestFile> ReadManifest();

}  // namespace mdftest

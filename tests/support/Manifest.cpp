#include "tests/support/Manifest.h"

#include <regex>
#include <sstream>

#include "tests/support/RealFiles.h"

namespace mdftest {
namespace {

// The text between the first pair of backticks at or after `from`.
std::string Quoted(const std::string& line, size_t& from) {
  size_t a = line.find('`', from);
  if (a == std::string::npos) return {};
  size_t b = line.find('`', a + 1);
  if (b == std::string::npos) return {};
  from = b + 1;
  return line.substr(a + 1, b - a - 1);
}

std::vector<ManifestColumn> ParseColumns(const std::string& list) {
  std::vector<ManifestColumn> out;
  static const std::regex kColumn(R"(^\s*(.+?) ([a-z_0-9]+)\((-?\d+)\)( not null)?\s*$)");
  std::stringstream ss(list);
  std::string item;
  while (std::getline(ss, item, ',')) {
    std::smatch m;
    if (std::regex_match(item, m, kColumn)) {
      out.push_back({m[1], m[2], std::stoi(m[3]), m[4].matched});
    }
  }
  return out;
}

// A JSON array of scalars, as the sample rows are written.
std::vector<ManifestValue> ParseRow(const std::string& json) {
  std::vector<ManifestValue> out;
  size_t i = json.find('[');
  if (i == std::string::npos) return out;
  ++i;
  while (i < json.size()) {
    while (i < json.size() && (json[i] == ' ' || json[i] == ',')) ++i;
    if (i >= json.size() || json[i] == ']') break;
    ManifestValue v;
    if (json[i] == '"') {
      v.kind = ManifestValue::Kind::String;
      for (++i; i < json.size() && json[i] != '"'; ++i) {
        if (json[i] != '\\') {
          v.text.push_back(json[i]);
          continue;
        }
        char e = json[++i];
        switch (e) {
          case 'n':
            v.text.push_back('\n');
            break;
          case 'r':
            v.text.push_back('\r');
            break;
          case 't':
            v.text.push_back('\t');
            break;
          case 'u': {
            unsigned cp = std::stoul(json.substr(i + 1, 4), nullptr, 16);
            i += 4;
            if (cp < 0x80) {
              v.text.push_back(static_cast<char>(cp));
            } else if (cp < 0x800) {
              v.text.push_back(static_cast<char>(0xC0 | (cp >> 6)));
              v.text.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
            } else {
              v.text.push_back(static_cast<char>(0xE0 | (cp >> 12)));
              v.text.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
              v.text.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
            }
            break;
          }
          default:
            v.text.push_back(e);
        }
      }
      ++i;
    } else {
      size_t end = json.find_first_of(",]", i);
      v.text = json.substr(i, end - i);
      while (!v.text.empty() && v.text.back() == ' ') v.text.pop_back();
      if (v.text == "null") {
        v.kind = ManifestValue::Kind::Null;
      } else if (v.text == "true" || v.text == "false") {
        v.kind = ManifestValue::Kind::Bool;
      } else {
        v.kind = ManifestValue::Kind::Number;
      }
      i = end;
    }
    out.push_back(std::move(v));
  }
  return out;
}

}  // namespace

std::map<std::string, ManifestFile> ReadManifest() {
  std::map<std::string, ManifestFile> files;
  std::stringstream text(RealManifest());
  std::string line;
  ManifestFile* current = nullptr;
  static const std::regex kVersion(
      R"(^- version (\d+), pages \d+, database name \(padding stripped\): `(.*)`$)");
  static const std::regex kRefused(R"(^- refused: version (\d+))");
  static const std::regex kTable(R"(^  - `(.+)`: (\d+) / (\d+) — (.*)$)");
  static const std::regex kModule(
      R"(^- module (\S+) `(.+)`(?: \(created by the server\))?: (\d+) characters, first line `(.*)`$)");
  while (std::getline(text, line)) {
    std::smatch m;
    if (line.rfind("### ", 0) == 0) {
      std::string name = line.substr(4);
      current = &files[name];
      current->file = name;
      continue;
    }
    if (!current) continue;
    if (line.rfind("    - row: `", 0) == 0 && !current->tables.empty()) {
      current->tables.back().rows.push_back(ParseRow(line.substr(11)));
    } else if (std::regex_match(line, m, kVersion)) {
      current->version = std::stoi(m[1]);
      current->databaseName = m[2];
    } else if (std::regex_search(line, m, kRefused)) {
      current->version = std::stoi(m[1]);
      current->refused = true;
    } else if (std::regex_match(line, m, kTable)) {
      current->tables.push_back({m[1], std::stoi(m[2]), std::stol(m[3]), ParseColumns(m[4]), {}});
    } else if (std::regex_match(line, m, kModule)) {
      current->modules.push_back({m[1], m[2], std::stoi(m[3]), m[4]});
    } else {
      for (const char* kind : {"primary key", "unique key", "foreign key", "check", "index"}) {
        std::string prefix = std::string("- ") + kind + " `";
        if (line.rfind(prefix, 0) != 0) continue;
        ManifestKey k;
        k.kind = kind;
        size_t at = 0;
        k.name = Quoted(line, at);
        k.table = Quoted(line, at);
        if (k.kind == "check") k.text = Quoted(line, at);
        if (k.kind == "index") k.text = line.substr(line.rfind(' ') + 1);
        current->keys.push_back(k);
        break;
      }
    }
  }
  return files;
}

}  // namespace mdftest

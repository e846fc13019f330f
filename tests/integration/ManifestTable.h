// The first table of the real files' MANIFEST.md: one row per data file, its
// cells by column title ("file", "on-disk version", "pages", ...). The tests
// take their expectations from it rather than from the program's own output.
#pragma once

#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace mdftest {

using ManifestRow = std::map<std::string, std::string>;

inline std::string TrimCell(const std::string& s) {
  size_t from = s.find_first_not_of(" \t");
  if (from == std::string::npos) return "";
  size_t to = s.find_last_not_of(" \t\r");
  return s.substr(from, to - from + 1);
}

// "| a | b |" -> {"a", "b"}
inline std::vector<std::string> SplitTableLine(const std::string& line) {
  std::vector<std::string> cells;
  std::string body = TrimCell(line);
  if (body.size() < 2 || body.front() != '|' || body.back() != '|') return cells;
  body = body.substr(1, body.size() - 2);
  size_t from = 0;
  while (true) {
    size_t bar = body.find('|', from);
    cells.push_back(TrimCell(body.substr(from, bar == std::string::npos ? bar : bar - from)));
    if (bar == std::string::npos) break;
    from = bar + 1;
  }
  return cells;
}

// The rows of the manifest's first table, by file name. Throws when there is
// no such table or a row does not have the header's number of cells.
inline std::map<std::string, ManifestRow> ManifestFirstTable(const std::string& manifest) {
  std::istringstream in(manifest);
  std::string line;
  std::vector<std::string> header;
  while (std::getline(in, line)) {
    if (TrimCell(line).rfind('|', 0) == 0) {
      header = SplitTableLine(line);
      break;
    }
  }
  if (header.empty()) throw std::runtime_error("MANIFEST.md has no table");
  if (!std::getline(in, line) || line.find("---") == std::string::npos) {
    throw std::runtime_error("MANIFEST.md: the first table has no separator line");
  }
  std::map<std::string, ManifestRow> rows;
  while (std::getline(in, line) && TrimCell(line).rfind('|', 0) == 0) {
    auto cells = SplitTableLine(line);
    if (cells.size() != header.size()) {
      throw std::runtime_error("MANIFEST.md: a row with " + std::to_string(cells.size()) +
                               " cells under a header of " + std::to_string(header.size()) + ": " +
                               line);
    }
    ManifestRow row;
    for (size_t i = 0; i < header.size(); ++i) row[header[i]] = cells[i];
    rows[row["file"]] = row;
  }
  return rows;
}

// The manifest's value of `column` for `file`; throws when either is missing.
inline std::string ManifestCell(const std::map<std::string, ManifestRow>& table,
                                const std::string& file, const std::string& column) {
  auto row = table.find(file);
  if (row == table.end()) throw std::runtime_error("MANIFEST.md does not list " + file);
  auto cell = row->second.find(column);
  if (cell == row->second.end()) throw std::runtime_error("MANIFEST.md has no column " + column);
  return cell->second;
}

}  // namespace mdftest

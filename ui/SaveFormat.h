// What a save writes: the SQL scripts a server replays (the folder of
// scripts and batch files), one SQLite database file, or a folder of CSV
// files. The window's destination step and mendora-cli export both choose
// one; the save job drives the writer of that format.
#pragma once

#include <optional>
#include <string_view>

namespace ui {

enum class SaveFormat { kSql, kSqlite, kCsv };

// "sql", "sqlite", "csv": the words of mendora-cli export --format.
inline std::optional<SaveFormat> SaveFormatOfWord(std::string_view word) {
  if (word == "sql") return SaveFormat::kSql;
  if (word == "sqlite") return SaveFormat::kSqlite;
  if (word == "csv") return SaveFormat::kCsv;
  return std::nullopt;
}

// The destination of a SQLite save is a file beside the folder a SQL save
// would make: "<folder name>.sqlite". The other formats make the folder.
inline constexpr std::string_view kSqliteSuffix = ".sqlite";

}  // namespace ui

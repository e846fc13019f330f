#include "cli/Help.h"

#include <iterator>

#ifndef MENDORA_VERSION
#error "MENDORA_VERSION must give the program's version"
#endif

namespace cli {
namespace {

// One place for every command's usage and help: a new command or option is
// added here and in the man page (a test compares the two).
constexpr CommandHelp kCommands[] = {
    {"info", "FILE [--damage]",
     "The file's on-disk version (first line, \"version: N\") and its release, then the\n"
     "database name, its page count, the counts of the recovered catalogue and the\n"
     "data files of the database found beside it.\n"
     "  --damage               instead, every page, record and value the readers\n"
     "                         skipped: file, page, slot, offset, reason\n"},
    {"tables", "FILE",
     "The names of the file's user tables, one per line, as \"rows\" takes them\n"
     "(schema.name where the file keeps schemas).\n"},
    {"tree", "FILE",
     "The object tree exactly as the main window builds it, one node per line,\n"
     "two spaces of indent per level.\n"},
    {"rows",
     "FILE TABLE [TABLE ...] [--format tsv|csv|json] [--limit N] [--code-page N] "
     "[--deleted | --all] [--damage] [--jobs N]",
     "Every row of one table (its name, or schema.name), streamed as it is read.\n"
     "Several tables are read at once and written one after the other, in the\n"
     "order named, each exactly as alone (header line included).\n"
     "A table whose rows are not read (compressed, sparse, memory-optimized,\n"
     "FILESTREAM, or in a data file not found) exits 1 with the reason.\n"
     "  --format tsv|csv|json  tab-separated (the default; NULL is \\N), CSV as\n"
     "                         RFC 4180, or JSON Lines\n"
     "  --limit N              at most N rows\n"
     "  --code-page N          read every char, varchar and text column in code\n"
     "                         page N instead of its collation's (437, 850, 874,\n"
     "                         932, 936, 949, 950, 1250-1258, 65001)\n"
     "  --deleted              only the rows a plain read leaves behind (ghost,\n"
     "                         unreferenced, on freed pages, superseded), led by\n"
     "                         _found_at and _why\n"
     "  --all                  the live rows, then those, with the same two columns\n"
     "  --damage               instead of rows, what reading the table skipped\n"
     "  --jobs N               tables read at once (default: one per processor\n"
     "                         thread)\n"},
    {"ddl", "FILE [NAME]",
     "The key, index, foreign-key and check statements of the file as the\n"
     "previews show them, or the statement or module text of the object NAME\n"
     "(a table NAME: its Create Table statement).\n"},
    {"export",
     "FILE DEST [--format sql|sqlite|csv] [--only NAME ...] [--code-page N] [--deleted] "
     "[--jobs N]",
     "The window's save without windows: a new folder inside DEST with the\n"
     "scripts of every table, key, index, constraint and module; prints the folder.\n"
     "  --format sql|sqlite|csv  the scripts (the default), one SQLite database\n"
     "                         DEST/<folder name>.sqlite, or a folder of CSV files\n"
     "                         (one per table, with schema.sql)\n"
     "  --only NAME            only this table or module (may be repeated)\n"
     "  --code-page N          as for rows\n"
     "  --deleted              also each table's recovered rows, in\n"
     "                         Tables_Data/<table>_Deleted.sql (not run by Import.bat)\n"
     "  --jobs N               tables read at once (default: one per processor\n"
     "                         thread); the files are the same for any N\n"},
};

constexpr std::string_view kProgram = "mendora-cli";

std::string UsageLine(const CommandHelp& command) {
  std::string line = std::string(kProgram) + " " + std::string(command.name);
  if (!command.arguments.empty()) line += " " + std::string(command.arguments);
  return line + "\n";
}

}  // namespace

const CommandHelp* FindCommand(std::string_view name) {
  for (const CommandHelp& command : kCommands) {
    if (command.name == name) return &command;
  }
  return nullptr;
}

bool NamesOption(const CommandHelp& command, std::string_view option) {
  const std::string_view usage = command.arguments;
  for (size_t at = usage.find(option); at != std::string_view::npos;
       at = usage.find(option, at + 1)) {
    const size_t end = at + option.size();
    const bool starts = at == 0 || usage[at - 1] == ' ' || usage[at - 1] == '[';
    const bool ends = end == usage.size() || usage[end] == ' ' || usage[end] == ']';
    if (starts && ends) return true;
  }
  return false;
}

std::string UsageText() {
  std::string text;
  for (const CommandHelp& command : kCommands) {
    text += text.empty() ? "usage: " : "       ";
    text += UsageLine(command);
  }
  text += "       mendora-cli --help | --version | COMMAND --help\n";
  return text;
}

std::string HelpText() {
  return UsageText() +
         "\nReads a SQL Server primary data file (.mdf) page by page, without a server,\n"
         "and never writes it.\n"
         "Exit status: 0 done, 1 the file is refused or unreadable (or the table or\n"
         "object is unknown, or the output cannot be written), 2 a usage error.\n"
         "\n"
         "  --help     this text; COMMAND --help tells of one command\n"
         "  --version  the program's version\n"
         "\n"
         "More in man mendora-cli.\n";
}

std::string CommandHelpText(const CommandHelp& command) {
  return "usage: " + UsageLine(command) + "\n" + std::string(command.text);
}

std::string VersionText() {
  return std::string(kProgram) + " " MENDORA_VERSION "\n";
}

}  // namespace cli

// mendora-cli: the engine, browser and export without windows, for scripting,
// batch recovery, benchmarks and tests.
#include <charconv>
#include <iostream>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "cli/Help.h"
#include "engine/CodePage.h"

namespace {

int Usage() {
  std::cerr << cli::UsageText();
  return 2;
}

// --help and --version, and COMMAND --help: what they print goes to standard
// output with status 0. False when the arguments ask for neither.
bool HelpAsked(const std::vector<std::string>& args, std::string& text) {
  const std::string& first = args[0];
  if (first == "--help" || first == "-h") {
    text = cli::HelpText();
  } else if (first == "--version") {
    text = cli::VersionText();
  } else if (const cli::CommandHelp* command = cli::FindCommand(first)) {
    for (size_t i = 1; i < args.size() && text.empty(); ++i) {
      if (args[i] == "--help" || args[i] == "-h") text = cli::CommandHelpText(*command);
    }
  }
  return !text.empty();
}

// A code page the reader can decode: 437, 850, 874, 932, 936, 949, 950,
// 1250-1258 or 65001.
bool ParseCodePage(const std::string& text, std::optional<uint16_t>& codePage) {
  uint16_t n = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
  if (ec != std::errc() || end != text.data() + text.size() || !mendora::IsKnownCodePage(n)) {
    std::cerr << "mendora-cli: unknown code page " << text << "\n";
    return false;
  }
  codePage = n;
  return true;
}

// --jobs N: a whole number from 1 to 256.
bool ParseJobs(const std::string& text, unsigned& jobs) {
  unsigned n = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
  if (ec != std::errc() || end != text.data() + text.size() || n < 1 || n > 256) return false;
  jobs = n;
  return true;
}

bool ParseRows(const std::vector<std::string>& args, cli::RowsOptions& options) {
  std::vector<std::string> positional;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--format" && i + 1 < args.size()) {
      const std::string& f = args[++i];
      if (f == "tsv") {
        options.format = cli::RowsFormat::kTsv;
      } else if (f == "csv") {
        options.format = cli::RowsFormat::kCsv;
      } else if (f == "json") {
        options.format = cli::RowsFormat::kJson;
      } else {
        return false;
      }
    } else if (a == "--code-page" && i + 1 < args.size()) {
      if (!ParseCodePage(args[++i], options.codePage)) return false;
    } else if (a == "--limit" && i + 1 < args.size()) {
      const std::string& n = args[++i];
      uint64_t limit = 0;
      auto [end, ec] = std::from_chars(n.data(), n.data() + n.size(), limit);
      if (ec != std::errc() || end != n.data() + n.size()) return false;
      options.limit = limit;
    } else if (a == "--jobs" && i + 1 < args.size()) {
      if (!ParseJobs(args[++i], options.jobs)) return false;
    } else if (a == "--deleted") {
      options.deleted = true;
    } else if (a == "--all") {
      options.all = true;
    } else if (a == "--damage") {
      options.damage = true;
    } else if (a.rfind("--", 0) == 0) {
      return false;
    } else {
      positional.push_back(a);
    }
  }
  if (positional.size() < 2 || (options.deleted && options.all)) return false;
  options.path = positional[0];
  options.tables.assign(positional.begin() + 1, positional.end());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) return Usage();
  std::string helpText;
  if (HelpAsked(args, helpText)) {
    std::cout << helpText << std::flush;
    return std::cout ? 0 : 1;
  }
  const std::string& command = args[0];
  // An option the command's usage does not name is a usage error, not a file
  // or table name.
  const cli::CommandHelp* known = cli::FindCommand(command);
  if (!known) return Usage();
  for (size_t i = 1; i < args.size(); ++i) {
    if (args[i].rfind("--", 0) == 0 && !cli::NamesOption(*known, args[i])) return Usage();
  }
  if (command == "info" && args.size() == 2) return cli::Info(args[1], std::cout, std::cerr);
  if (command == "tables" && args.size() == 2) return cli::Tables(args[1], std::cout, std::cerr);
  if (command == "info" && args.size() == 3 && args[2] == "--damage")
    return cli::Info(args[1], std::cout, std::cerr, true);
  if (command == "tree" && args.size() == 2) return cli::Tree(args[1], std::cout, std::cerr);
  if (command == "rows") {
    cli::RowsOptions options;
    if (!ParseRows(args, options)) return Usage();
    return cli::Rows(options, std::cout, std::cerr);
  }
  if (command == "ddl" && (args.size() == 2 || args.size() == 3)) {
    cli::DdlOptions options;
    options.path = args[1];
    if (args.size() == 3) options.name = args[2];
    return cli::Ddl(options, std::cout, std::cerr);
  }
  if (command == "export" && args.size() >= 3) {
    cli::ExportOptions options;
    options.path = args[1];
    options.destination = args[2];
    for (size_t i = 3; i < args.size(); ++i) {
      if (args[i] == "--only" && i + 1 < args.size()) {
        options.only.push_back(args[++i]);
      } else if (args[i] == "--code-page" && i + 1 < args.size()) {
        if (!ParseCodePage(args[++i], options.codePage)) return Usage();
      } else if (args[i] == "--format" && i + 1 < args.size()) {
        const auto format = ui::SaveFormatOfWord(args[++i]);
        if (!format) return Usage();
        options.format = *format;
      } else if (args[i] == "--deleted") {
        options.deleted = true;
      } else if (args[i] == "--jobs" && i + 1 < args.size()) {
        if (!ParseJobs(args[++i], options.jobs)) return Usage();
      } else {
        return Usage();
      }
    }
    return cli::Export(options, std::cout, std::cerr);
  }
  return Usage();
}

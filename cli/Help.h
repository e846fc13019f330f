// What mendora-cli says about itself: the usage of every command, shown on
// a usage error and by --help, and each command's own help, shown by
// COMMAND --help. The man page mendora-cli.1 tells the same at length.
#pragma once

#include <string>
#include <string_view>

namespace cli {

struct CommandHelp {
  std::string_view name;
  // The arguments after "mendora-cli NAME", as the usage lists them.
  std::string_view arguments;
  // What the command does and each of its options, one per line.
  std::string_view text;
};

// The command named `name`, or null.
const CommandHelp* FindCommand(std::string_view name);
// Whether the command's usage names the option `option` ("--format").
bool NamesOption(const CommandHelp& command, std::string_view option);

// "usage: mendora-cli info FILE" and one line for each further command.
std::string UsageText();
// The usage, then the program's own options and where to read more.
std::string HelpText();
// The command's usage line and its text.
std::string CommandHelpText(const CommandHelp& command);
// "mendora-cli VERSION".
std::string VersionText();

}  // namespace cli

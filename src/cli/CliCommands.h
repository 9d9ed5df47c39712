#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "cli/CliContext.h"
#include "cli/CommandArguments.h"

namespace kv::cli {

// One command of kestrelviewctl.
struct CliCommand {
    std::string_view name;
    std::string_view usage;    // the arguments after the name, as the help shows them
    std::string_view summary;  // one line
    CommandSyntax syntax;
    int (*handler)(CliContext& context, const CommandArguments& arguments);
    // Talks to Agents: the run sets up the HTTP client and the request layer for it.
    bool needsNetwork;
};

// Every command, in the order the help lists them.
const std::vector<CliCommand>& CliCommands();
// nullptr for an unknown name.
const CliCommand* FindCliCommand(std::string_view name);

// The text of --help: the global options and every command with its usage.
std::string CliHelpText();
// "Usage: kestrelviewctl [OPTION]... NAME USAGE" and the command's summary.
std::string CliCommandHelp(const CliCommand& command);

}  // namespace kv::cli

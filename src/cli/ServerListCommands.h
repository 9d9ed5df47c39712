#pragma once

#include "cli/CliContext.h"
#include "cli/CommandArguments.h"

namespace kv::cli {

// The server list, Server.csv: list, remove, add after the connection test, discover.
// Each returns the exit status.
int RunServers(CliContext& context, const CommandArguments& arguments);
int RunRemove(CliContext& context, const CommandArguments& arguments);
int RunAdd(CliContext& context, const CommandArguments& arguments);
int RunDiscover(CliContext& context, const CommandArguments& arguments);

}  // namespace kv::cli

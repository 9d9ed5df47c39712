#pragma once

#include "cli/CliContext.h"
#include "cli/CommandArguments.h"

namespace kv::cli {

// The commands that run over every server of Server.csv at once (or the addresses named),
// each ending with a report per server. Each returns the exit status.
int RunFetchAll(CliContext& context, const CommandArguments& arguments);
int RunDistribute(CliContext& context, const CommandArguments& arguments);
int RunPushAll(CliContext& context, const CommandArguments& arguments);
int RunDiff(CliContext& context, const CommandArguments& arguments);
int RunCheck(CliContext& context, const CommandArguments& arguments);

}  // namespace kv::cli

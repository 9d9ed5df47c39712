#pragma once

#include "cli/CliContext.h"
#include "cli/CommandArguments.h"

namespace kv::cli {

// An Agent's directory tree (fetched, or from a saved reply) printed as the pane shows it.
// Returns the exit status.
int RunTree(CliContext& context, const CommandArguments& arguments);

}  // namespace kv::cli

#pragma once

#include "cli/CliContext.h"
#include "cli/CommandArguments.h"

namespace kv::cli {

// Texts read from an Agent's machine: any file, and the Agent's daily log. Each returns the
// exit status.
int RunView(CliContext& context, const CommandArguments& arguments);
int RunLog(CliContext& context, const CommandArguments& arguments);

}  // namespace kv::cli

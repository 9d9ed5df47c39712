#pragma once

#include "cli/CliContext.h"
#include "cli/CommandArguments.h"

namespace kv::cli {

// The default setting of the data directory (Kestrelview.cnf and env.csv): export and
// import of its watch rows (its distribution is a fleet command). Each returns the exit
// status.
int RunExport(CliContext& context, const CommandArguments& arguments);
int RunImport(CliContext& context, const CommandArguments& arguments);

}  // namespace kv::cli

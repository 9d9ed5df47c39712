#pragma once

#include "cli/CliContext.h"
#include "cli/CommandArguments.h"

namespace kv::cli {

// Standard input to standard output through the EUC-JP <-> Shift_JIS conversion, as one
// binary stream. Returns the exit status.
int RunConvert(CliContext& context, const CommandArguments& arguments);

}  // namespace kv::cli

#pragma once

#include "cli/CliContext.h"
#include "cli/CommandArguments.h"

namespace kv::cli {

// Setting texts as the Agents hold them: the upload body of a text, and getting, putting
// and fetching every server's text. Each returns the exit status.
int RunSettingBody(CliContext& context, const CommandArguments& arguments);
int RunGetSetting(CliContext& context, const CommandArguments& arguments);
int RunPutSetting(CliContext& context, const CommandArguments& arguments);
int RunFetchAll(CliContext& context, const CommandArguments& arguments);

}  // namespace kv::cli

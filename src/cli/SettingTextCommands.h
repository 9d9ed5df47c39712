#pragma once

#include "cli/CliContext.h"
#include "cli/CommandArguments.h"

namespace kv::cli {

// Setting texts as the Agents hold them: the upload body of a text, and getting and putting
// one server's text (every server's is the fleet commands'). Each returns the exit status.
int RunSettingBody(CliContext& context, const CommandArguments& arguments);
int RunGetSetting(CliContext& context, const CommandArguments& arguments);
int RunPutSetting(CliContext& context, const CommandArguments& arguments);

}  // namespace kv::cli

#include "cli/ConvertCommand.h"

#include "cli/DataFiles.h"
#include "cli/UsageError.h"
#include "text/JapaneseConversion.h"

namespace kv::cli {

int RunConvert(CliContext& context, const CommandArguments& arguments) {
    const bool toSjis = arguments.Has("--to-sjis");
    if (toSjis == arguments.Has("--to-euc")) {
        throw UsageError("convert needs exactly one of --to-sjis and --to-euc");
    }
    // Whole, not line by line: a character split between two reads would convert wrongly.
    const std::string input = ReadAll(context.in);
    context.terminal.Write(toSjis ? text::EucToSjis(input) : text::SjisToEuc(input));
    return 0;
}

}  // namespace kv::cli

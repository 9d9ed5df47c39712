#include "cli/ConvertCommand.h"

#include <stdexcept>
#include <vector>

#include "cli/UsageError.h"
#include "text/BlockConversion.h"

namespace kv::cli {

namespace {

// Standard input is read in blocks this large: few reads, and memory bounded whatever the
// size of the input.
constexpr std::size_t kBlockSize = 1 << 20;

}  // namespace

int RunConvert(CliContext& context, const CommandArguments& arguments) {
    const bool toSjis = arguments.Has("--to-sjis");
    if (toSjis == arguments.Has("--to-euc")) {
        throw UsageError("convert needs exactly one of --to-sjis and --to-euc");
    }
    text::BlockConverter converter(toSjis ? text::BlockConverter::Direction::EucToSjis
                                          : text::BlockConverter::Direction::SjisToEuc);
    std::vector<char> block(kBlockSize);
    std::string out;
    out.reserve(2 * kBlockSize);
    while (context.in) {
        context.in.read(block.data(), static_cast<std::streamsize>(block.size()));
        const auto got = static_cast<std::size_t>(context.in.gcount());
        if (got == 0) {
            break;
        }
        out.clear();
        converter.Feed(std::string_view(block.data(), got), out);
        context.terminal.Write(out);
    }
    if (context.in.bad()) {
        throw std::runtime_error("cannot read standard input");
    }
    out.clear();
    converter.Finish(out);
    context.terminal.Write(out);
    return 0;
}

}  // namespace kv::cli

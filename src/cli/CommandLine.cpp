#include "cli/CommandLine.h"

#include <string_view>

#include "cli/CommandArguments.h"
#include "cli/UsageError.h"

namespace kv::cli {

namespace {

constexpr int kMaxTimeoutSeconds = 86400;

struct GlobalOption {
    std::string_view name;
    bool takesValue;
    void (*apply)(GlobalOptions& options, std::string value);
};

constexpr GlobalOption kGlobalOptions[] = {
    {"--data-dir", true,
     [](GlobalOptions& o, std::string v) {
         if (v.empty()) {
             throw UsageError("--data-dir needs a directory");
         }
         o.dataDir = std::move(v);
     }},
    {"--raw", false, [](GlobalOptions& o, std::string) { o.raw = true; }},
    {"--help", false, [](GlobalOptions& o, std::string) { o.help = true; }},
    {"--version", false, [](GlobalOptions& o, std::string) { o.version = true; }},
    {"--user", true, [](GlobalOptions& o, std::string v) { o.user = std::move(v); }},
    {"--password", true, [](GlobalOptions& o, std::string v) { o.password = std::move(v); }},
    {"--port", true, [](GlobalOptions& o, std::string v) { o.port = std::move(v); }},
    {"--timeout", true,
     [](GlobalOptions& o, std::string v) {
         o.timeoutSeconds = WholeNumberArgument(v, 1, kMaxTimeoutSeconds, "--timeout");
     }},
};

const GlobalOption* FindGlobalOption(std::string_view name) {
    for (const GlobalOption& option : kGlobalOptions) {
        if (option.name == name) {
            return &option;
        }
    }
    return nullptr;
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
    CommandLine line;
    std::size_t i = 0;
    for (; i < arguments.size() && arguments[i].starts_with("--"); ++i) {
        const std::string name = arguments[i].substr(0, arguments[i].find('='));
        const GlobalOption* option = FindGlobalOption(name);
        if (option == nullptr) {
            throw UsageError("unknown option " + name);
        }
        option->apply(line.options, OptionValue(arguments, i, option->takesValue));
    }
    if (i < arguments.size()) {
        line.command = arguments[i];
        line.arguments.assign(arguments.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                              arguments.end());
    }
    return line;
}

}  // namespace kv::cli

#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kv::cli {

struct CommandOption {
    std::string_view name;  // "--name"
    bool takesValue = false;
};

// What a command accepts after its name.
struct CommandSyntax {
    std::vector<CommandOption> options;
    std::size_t minPositionals = 0;
    std::size_t maxPositionals = 0;
};

// The value of option `arguments[i]` ("--name=value" or "--name value", in which case `i`
// moves past it); empty for an option that takes none. UsageError when a value is missing or
// given to an option that takes none.
std::string OptionValue(const std::vector<std::string>& arguments, std::size_t& i, bool takesValue);

// A whole decimal number from `min` to `max`, or UsageError naming `what`.
int WholeNumberArgument(std::string_view text, int min, int max, std::string_view what);

// A command's arguments read against its syntax: options anywhere among the positional
// arguments, "--opt value" or "--opt=value", "--" ends the options, and "--help" is known
// to every command. Throws UsageError for an unknown or repeated option, a missing value
// and a wrong number of positional arguments (unless --help was given).
class CommandArguments {
public:
    CommandArguments(const std::vector<std::string>& arguments, const CommandSyntax& syntax);

    bool Help() const { return help_; }
    std::size_t Count() const { return positionals_.size(); }
    const std::string& Positional(std::size_t index) const { return positionals_.at(index); }
    bool Has(std::string_view option) const;
    std::optional<std::string> Value(std::string_view option) const;
    // The option's value as a whole decimal number from `min` to `max`; `fallback` when the
    // option is absent. Throws UsageError otherwise.
    int Number(std::string_view option, int min, int max, int fallback) const;

private:
    bool help_ = false;
    std::vector<std::string> positionals_;
    std::map<std::string, std::string, std::less<>> options_;
};

}  // namespace kv::cli

#include "cli/CommandArguments.h"

#include <algorithm>
#include <charconv>

#include "cli/UsageError.h"

namespace kv::cli {

int WholeNumberArgument(std::string_view text, int min, int max, std::string_view what) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < min ||
        value > max) {
        throw UsageError(std::string(what) + " must be a whole number from " + std::to_string(min) +
                         " to " + std::to_string(max) + ", not '" + std::string(text) + "'");
    }
    return value;
}

std::string OptionValue(const std::vector<std::string>& arguments, std::size_t& i,
                        bool takesValue) {
    const std::string& argument = arguments[i];
    const std::size_t equals = argument.find('=');
    const std::string name = argument.substr(0, equals);
    if (!takesValue) {
        if (equals != std::string::npos) {
            throw UsageError("option " + name + " takes no value");
        }
        return {};
    }
    if (equals != std::string::npos) {
        return argument.substr(equals + 1);
    }
    if (i + 1 < arguments.size()) {
        return arguments[++i];
    }
    throw UsageError("option " + name + " needs a value");
}

CommandArguments::CommandArguments(const std::vector<std::string>& arguments,
                                   const CommandSyntax& syntax) {
    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (optionsEnded || !argument.starts_with("--")) {
            positionals_.push_back(argument);
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        const std::size_t equals = argument.find('=');
        const std::string name = argument.substr(0, equals);
        if (name == "--help" && equals == std::string::npos) {
            help_ = true;
            continue;
        }
        const auto known = std::find_if(syntax.options.begin(), syntax.options.end(),
                                        [&](const CommandOption& o) { return o.name == name; });
        if (known == syntax.options.end()) {
            throw UsageError("unknown option " + name);
        }
        if (options_.contains(name)) {
            throw UsageError("option " + name + " given twice");
        }
        std::string value = OptionValue(arguments, i, known->takesValue);
        options_.emplace(name, std::move(value));
    }
    if (help_) {
        return;
    }
    if (positionals_.size() < syntax.minPositionals) {
        throw UsageError("missing argument");
    }
    if (positionals_.size() > syntax.maxPositionals) {
        throw UsageError("unexpected argument '" + positionals_[syntax.maxPositionals] + "'");
    }
}

bool CommandArguments::Has(std::string_view option) const {
    return options_.find(option) != options_.end();
}

std::optional<std::string> CommandArguments::Value(std::string_view option) const {
    const auto it = options_.find(option);
    if (it == options_.end()) {
        return std::nullopt;
    }
    return it->second;
}

int CommandArguments::Number(std::string_view option, int min, int max, int fallback) const {
    const std::optional<std::string> value = Value(option);
    return value ? WholeNumberArgument(*value, min, max, option) : fallback;
}

}  // namespace kv::cli

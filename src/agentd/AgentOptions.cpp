#include "agentd/AgentOptions.h"

#include <algorithm>
#include <charconv>
#include <iterator>
#include <limits>
#include <optional>

#include "store/AtomicFile.h"

namespace kv::agentd {
namespace {

// One table for the command line ("--name") and the configuration file ("name = value").
struct TextOption {
    std::string_view name;
    std::string AgentOptions::*field;
};

struct NumberOption {
    std::string_view name;
    unsigned AgentOptions::*field;
    unsigned minimum;
    unsigned maximum;
};

constexpr TextOption kTextOptions[] = {
    {"listen", &AgentOptions::listen},        {"root", &AgentOptions::root},
    {"tree-file", &AgentOptions::treeFile},   {"user", &AgentOptions::user},
    {"password", &AgentOptions::password},    {"name", &AgentOptions::name},
    {"state-dir", &AgentOptions::stateDir},   {"log-dir", &AgentOptions::logDir},
    {"ip-address", &AgentOptions::ipAddress},
};

constexpr NumberOption kNumberOptions[] = {
    {"tree-max-entries", &AgentOptions::treeMaxEntries, 1, 10000000},
    {"tree-max-depth", &AgentOptions::treeMaxDepth, 1, 1000},
    {"log-days", &AgentOptions::logDays, 0, 36500},
    {"command-timeout", &AgentOptions::commandSeconds, 1, 86400},
    {"max-commands", &AgentOptions::maxCommands, 1, 64},
    {"mail-retry", &AgentOptions::mailRetrySeconds, 1, 86400},
    {"max-connections", &AgentOptions::maxConnections, 1, 4096},
};

std::optional<unsigned> ParseNumber(std::string_view text, unsigned minimum, unsigned maximum) {
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
        value < minimum || value > maximum) {
        return std::nullopt;
    }
    return value;
}

// Sets the option `name` (without dashes); false when there is no such option.
bool Apply(std::string_view name, const std::string& value, AgentOptions& options) {
    if (name == "port") {
        const auto port = ParseNumber(value, 0, 65535);
        if (!port) {
            throw OptionsError("invalid port: " + value);
        }
        options.port = static_cast<std::uint16_t>(*port);
        return true;
    }
    if (name == "exclude") {
        options.excludes.push_back(value);
        return true;
    }
    for (const TextOption& option : kTextOptions) {
        if (name == option.name) {
            options.*option.field = value;
            return true;
        }
    }
    for (const NumberOption& option : kNumberOptions) {
        if (name == option.name) {
            const auto number = ParseNumber(value, option.minimum, option.maximum);
            if (!number) {
                throw OptionsError("invalid " + std::string(name) + ": " + value + " (" +
                                   std::to_string(option.minimum) + " to " +
                                   std::to_string(option.maximum) + ")");
            }
            options.*option.field = *number;
            return true;
        }
    }
    return false;
}

bool Known(std::string_view name) {
    const auto named = [name](const auto& option) { return option.name == name; };
    return name == "port" || name == "exclude" || name == "config" ||
           std::any_of(std::begin(kTextOptions), std::end(kTextOptions), named) ||
           std::any_of(std::begin(kNumberOptions), std::end(kNumberOptions), named);
}

std::string_view Trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

}  // namespace

void ReadAgentConfig(std::string_view text, const std::string& file, AgentOptions& options) {
    int number = 0;
    while (!text.empty()) {
        const auto end = text.find('\n');
        const std::string_view raw = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        ++number;
        const std::string_view line = Trimmed(raw);
        if (line.empty() || line.front() == '#') {
            continue;
        }
        const std::string where = file + ":" + std::to_string(number) + ": ";
        const auto equals = line.find('=');
        if (equals == std::string_view::npos) {
            throw OptionsError(where + "expected NAME = VALUE");
        }
        const std::string_view name = Trimmed(line.substr(0, equals));
        const std::string value(Trimmed(line.substr(equals + 1)));
        try {
            if (name == "demo" || name == "help" || name == "config" ||
                !Apply(name, value, options)) {
                throw OptionsError("unknown setting: " + std::string(name));
            }
        } catch (const OptionsError& error) {
            throw OptionsError(where + error.what());
        }
    }
}

AgentOptions ParseAgentOptions(const std::vector<std::string>& args) {
    AgentOptions options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string file;
        if (args[i] == "--config" && i + 1 < args.size()) {
            file = args[i + 1];
        } else if (args[i].starts_with("--config=")) {
            file = args[i].substr(9);
        } else {
            continue;
        }
        std::string text;
        if (!store::ReadWholeFile(file, text)) {
            throw OptionsError("cannot read the configuration file " + file);
        }
        // Whole strings moved in: literals assigned one after another trip GCC 12's false
        // -Wrestrict at -O3.
        options.listen = std::string("0.0.0.0");
        options.root = std::string("/");
        options.password.clear();
        options.config = file;
        ReadAgentConfig(text, file, options);
        break;
    }
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::optional<std::string> inlineValue;
        if (const auto equals = name.find('=');
            name.starts_with("--") && equals != std::string::npos) {
            inlineValue = name.substr(equals + 1);
            name.resize(equals);
        }
        if (name == "--help" || name == "--version" || name == "--demo") {
            if (inlineValue) {
                throw OptionsError(name + " takes no value");
            }
            (name == "--help"      ? options.help
             : name == "--version" ? options.version
                                   : options.demo) = true;
            continue;
        }
        if (!name.starts_with("--") || !Known(std::string_view(name).substr(2))) {
            throw OptionsError("unknown option: " + args[i]);
        }
        if (!inlineValue && i + 1 >= args.size()) {
            throw OptionsError(name + " needs a value");
        }
        const std::string value = inlineValue ? *inlineValue : args[++i];
        if (name != "--config") {
            Apply(std::string_view(name).substr(2), value, options);
        }
    }
    if (!options.config.empty() && options.password.empty() && !options.help && !options.version) {
        throw OptionsError("no password is set: set \"password\" in " + options.config);
    }
    return options;
}

std::string AgentUsage() {
    return R"(Usage: kestrelview-agent [OPTION]...
The Kestrelview Agent: watches files, mails and runs commands when a search string has
been found a given number of times, and serves GetTree.cgi, GetWatchSetting.cgi,
PostWatchSetting.cgi and GetFileView.cgi over HTTP/1.0 behind Basic authentication. It
answers the discovery datagram over UDP on the same port.

  --config FILE     read NAME = VALUE lines (the options below without "--"); the service
                    defaults then are --listen 0.0.0.0 --root / and no password, which
                    must be set. Options given on the command line win over the file.
  --port N          TCP and UDP port (default 4009; 0 picks a free port)
  --listen ADDRESS  IPv4 address to listen on (default 127.0.0.1); broadcasts reach
                    the discovery answer only with 0.0.0.0
  --root DIR        directory served as the Agent's "/" (default: the current directory)
  --exclude DIR     leave DIR out of the tree and the files served (repeatable;
                    /proc, /sys, /dev and /run always are)
  --tree-max-entries N, --tree-max-depth N
                    bound the tree listing (default 100000 entries, depth 24); a notice
                    line marks where it was cut
  --tree-file FILE  GetTree.cgi replies with this file, byte for byte, instead of
                    walking the root
  --user NAME       user name of Basic authentication (default root)
  --password TEXT   password of Basic authentication (default plumtree without --config)
  --name NAME       server name in discovery answers and settings (default: host name)
  --ip-address IP   the address mails give for \IPAddress\ (default: this host's first)
  --state-dir DIR   keeps the watch setting, positions and unsent mail in DIR
                    (default $XDG_STATE_HOME/kestrelview-agent)
  --log-dir DIR     directory of the daily logs yyyymmdd.log (default STATE-DIR/log)
  --log-days N      remove logs older than N days (default 30; 0 keeps them all)
  --command-timeout S, --max-commands N
                    a command is stopped after S seconds (TERM, then KILL; default 60);
                    at most N run at once (default 4)
  --mail-retry S    first delay before a failed mail is sent again (default 30, doubling)
  --max-connections N
                    clients served at once (default 64)
  --demo            give the three days before today a log, unless they have one
  --help            show this help and exit
  --version         show the version and exit

File names that cannot travel as Shift_JIS unchanged are left out of the tree listing.
Prints "listening on ADDRESS:PORT" once ready; SIGTERM and SIGINT stop it with status 0,
SIGHUP reads the configuration file again.
)";
}

}  // namespace kv::agentd

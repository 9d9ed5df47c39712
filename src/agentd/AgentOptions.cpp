#include "agentd/AgentOptions.h"

#include <charconv>
#include <optional>
#include <string_view>

namespace kv::agentd {
namespace {

struct TextOption {
    std::string_view name;
    std::string AgentOptions::*field;
};

constexpr TextOption kTextOptions[] = {
    {"--listen", &AgentOptions::listen},      {"--root", &AgentOptions::root},
    {"--tree-file", &AgentOptions::treeFile}, {"--user", &AgentOptions::user},
    {"--password", &AgentOptions::password},  {"--name", &AgentOptions::name},
    {"--state-dir", &AgentOptions::stateDir}, {"--log-dir", &AgentOptions::logDir},
};

std::uint16_t ParsePort(const std::string& text) {
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value > 65535) {
        throw OptionsError("invalid port: " + text);
    }
    return static_cast<std::uint16_t>(value);
}

}  // namespace

AgentOptions ParseAgentOptions(const std::vector<std::string>& args) {
    AgentOptions options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::optional<std::string> inlineValue;
        if (const auto equals = name.find('=');
            name.starts_with("--") && equals != std::string::npos) {
            inlineValue = name.substr(equals + 1);
            name.resize(equals);
        }
        if (name == "--help" || name == "--demo") {
            if (inlineValue) {
                throw OptionsError(name + " takes no value");
            }
            (name == "--help" ? options.help : options.demo) = true;
            continue;
        }
        const auto value = [&]() -> std::string {
            if (inlineValue) {
                return *inlineValue;
            }
            if (i + 1 >= args.size()) {
                throw OptionsError(name + " needs a value");
            }
            return args[++i];
        };
        if (name == "--port") {
            options.port = ParsePort(value());
            continue;
        }
        bool known = false;
        for (const TextOption& option : kTextOptions) {
            if (name == option.name) {
                options.*option.field = value();
                known = true;
                break;
            }
        }
        if (!known) {
            throw OptionsError("unknown option: " + args[i]);
        }
    }
    return options;
}

std::string AgentUsage() {
    return R"(Usage: kestrelview-agent [OPTION]...
A stand-in Kestrelview Agent for tests and demos. Serves GetTree.cgi, GetWatchSetting.cgi,
PostWatchSetting.cgi and GetFileView.cgi over HTTP/1.0 behind Basic authentication, and
answers the discovery datagram over UDP on the same port.

  --port N          TCP and UDP port (default 4009; 0 picks a free port)
  --listen ADDRESS  IPv4 address to listen on (default 127.0.0.1); broadcasts reach
                    the discovery answer only with 0.0.0.0
  --root DIR        directory served as the Agent's "/" (default: the current directory)
  --tree-file FILE  GetTree.cgi replies with this file, byte for byte, instead of
                    walking the root
  --user NAME       user name of Basic authentication (default root)
  --password TEXT   password of Basic authentication (default plumtree)
  --name NAME       server name in discovery answers and settings (default: host name)
  --state-dir DIR   keeps the watch setting in DIR/settings::WatchSetting.txt
                    (default $XDG_STATE_HOME/kestrelview-agent)
  --log-dir DIR     directory of the daily logs yyyymmdd.log (default STATE-DIR/log)
  --demo            give the three days before today a log, unless they have one
  --help            show this help and exit

File names that cannot travel as Shift_JIS unchanged are left out of the tree listing.
Prints "listening on ADDRESS:PORT" once ready; SIGTERM and SIGINT stop it with status 0.
)";
}

}  // namespace kv::agentd

#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace kv::agentd {

// The command line of kestrelview-agent, as given (UTF-8, paths not yet resolved).
struct AgentOptions {
    std::string listen = "127.0.0.1";
    std::uint16_t port = 4009;
    std::string root = ".";
    std::string treeFile;
    std::string user = "root";
    std::string password = "plumtree";
    std::string name;      // empty: the host name
    std::string stateDir;  // empty: $XDG_STATE_HOME/kestrelview-agent
    std::string logDir;    // empty: <state dir>/log
    bool demo = false;
    bool help = false;
};

class OptionsError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Reads the arguments after the program name; "--opt value" and "--opt=value" both work.
// Throws OptionsError naming the offending argument.
AgentOptions ParseAgentOptions(const std::vector<std::string>& args);

std::string AgentUsage();

}  // namespace kv::agentd

#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace kv::agentd {

// The stand-in's defaults are those of the Manager, for tests and demos; a service reads
// its configuration file.

// The command line of kestrelview-agent, as given (UTF-8, paths not yet resolved).
struct AgentOptions {
    std::string listen = "127.0.0.1";
    std::uint16_t port = 4009;
    std::string root = ".";
    std::string treeFile;
    std::string user = "root";
    std::string password = "plumtree";
    std::string name;       // empty: the host name
    std::string stateDir;   // empty: $XDG_STATE_HOME/kestrelview-agent
    std::string logDir;     // empty: <state dir>/log
    std::string ipAddress;  // "\IPAddress\" in mails; empty: found from the interfaces
    // Directories (on disk) left out of the tree and of the files served.
    std::vector<std::string> excludes = {"/proc", "/sys", "/dev", "/run"};
    unsigned treeMaxEntries = 100000;
    unsigned treeMaxDepth = 24;
    unsigned logDays = 30;
    unsigned commandSeconds = 60;
    unsigned maxCommands = 4;
    unsigned mailRetrySeconds = 30;
    unsigned maxConnections = 64;
    std::string config;  // the configuration file read, if any
    bool demo = false;
    bool help = false;
    bool version = false;
};

class OptionsError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Reads the arguments after the program name; "--opt value" and "--opt=value" both work.
// With "--config FILE" the service's defaults apply (listen on 0.0.0.0, serve "/", no
// password), then the file's "name = value" lines, then the other arguments. A service
// without a password is refused. Throws OptionsError naming the offending argument or line.
AgentOptions ParseAgentOptions(const std::vector<std::string>& args);

// Reads a configuration file's text into `options`; `file` names it in errors.
void ReadAgentConfig(std::string_view text, const std::string& file, AgentOptions& options);

std::string AgentUsage();

}  // namespace kv::agentd

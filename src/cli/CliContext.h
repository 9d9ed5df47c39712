#pragma once

#include <chrono>
#include <istream>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

#include "cli/AgentSession.h"
#include "cli/Terminal.h"

namespace kv::cli {

// What a command handler works with: the terminal, standard input, the data directory and,
// for the commands that talk to Agents, the session.
struct CliContext {
    Terminal& terminal;
    std::istream& in;
    // Ends in "/".
    std::string dataDir;
    std::unique_ptr<AgentSession> session;
    // What a command that runs several sessions at once sets each of them up with.
    agent::ConnectionSettings connection;
    std::chrono::seconds timeout{60};

    std::string DataFile(std::string_view name) const { return dataDir + std::string(name); }

    AgentSession& Session() {
        if (!session) {
            throw std::logic_error("a command that talks to Agents is not marked so");
        }
        return *session;
    }
};

}  // namespace kv::cli

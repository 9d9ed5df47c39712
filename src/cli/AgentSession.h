#pragma once

#include <chrono>

#include "agent/AgentRequests.h"
#include "agent/ConnectionSettings.h"
#include "agent/HttpCli.h"

namespace kv::cli {

// The one HTTP client of a run and the request layer over it, set up from the connection
// settings and the inactivity timeout of the command line.
class AgentSession {
public:
    AgentSession(const agent::ConnectionSettings& connection, std::chrono::seconds timeout);
    AgentSession(const AgentSession&) = delete;
    AgentSession& operator=(const AgentSession&) = delete;

    agent::AgentRequests& Requests() { return requests_; }
    // The Agent port: the destination of every URL and of the discovery question.
    const std::string& Port() const { return requests_.Port(); }

private:
    agent::THttpCli client_;
    agent::AgentRequests requests_;
};

}  // namespace kv::cli

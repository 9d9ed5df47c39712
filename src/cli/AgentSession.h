#pragma once

#include <chrono>
#include <string>

#include "agent/AgentRequests.h"
#include "agent/ConnectionSettings.h"
#include "agent/HttpCli.h"

namespace kv::cli {

// An HTTP client and the request layer over it, set up from the connection settings and the
// timeouts of the command line. A fleet command runs one per request in flight.
class AgentSession {
public:
    // A zero connect timeout leaves the connect to the inactivity timeout.
    AgentSession(const agent::ConnectionSettings& connection, std::chrono::seconds timeout,
                 std::chrono::seconds connectTimeout = std::chrono::seconds(0));
    AgentSession(const AgentSession&) = delete;
    AgentSession& operator=(const AgentSession&) = delete;

    agent::AgentRequests& Requests() { return requests_; }
    // The Agent port: the destination of every URL and of the discovery question.
    const std::string& Port() const { return requests_.Port(); }

    // Why the last request that returned false failed, in a few words for a report:
    // "refused", "timed out connecting", "timed out waiting", "401 after credentials",
    // "HTTP 500 Internal Server Error", "broken reply: ..." or the client's reason.
    std::string FailureReason() const;
    // Makes the running request fail at its next wait; from any thread.
    void Abort() { client_.Abort(); }

private:
    agent::THttpCli client_;
    agent::AgentRequests requests_;
    int lastError_ = 0;
};

}  // namespace kv::cli

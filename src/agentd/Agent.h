#pragma once

#include <cstdint>
#include <string>

#include "agentd/ActionRunner.h"
#include "agentd/AgentHandler.h"
#include "agentd/AgentOptions.h"
#include "agentd/DailyLog.h"
#include "agentd/ServerLoop.h"

namespace kv::agentd {

// The whole stand-in Agent: resolves its directories, binds its sockets and serves.
class Agent {
public:
    // Creates the state and log directories, reads the stored setting, binds TCP and UDP
    // and writes the start into today's log (seeding the earlier days with --demo).
    // Throws std::runtime_error (or std::system_error) with a readable message.
    // `clock` stands in for the system's time when given.
    explicit Agent(const AgentOptions& options, DailyLog::Clock clock = {},
                   ServerLimits limits = {});

    std::uint16_t Port() const { return loop_.Port(); }
    // "listening on ADDRESS:PORT"
    std::string ListeningLine() const;

    // Serves until Stop(), then writes the stop into today's log.
    void Run();
    // Safe from another thread and from a signal handler.
    void Stop() { loop_.Stop(); }

    // Where fired watch rows go: their mail and command.
    agentd::FiredRowSink& Actions() { return actions_; }

private:
    std::string address_;
    AgentHandler handler_;
    ServerLoop loop_;
    agentd::ActionRunner actions_;
};

}  // namespace kv::agentd

#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "agentd/ActionRunner.h"
#include "agentd/AgentHandler.h"
#include "agentd/AgentOptions.h"
#include "agentd/DailyLog.h"
#include "agentd/ServerLoop.h"
#include "agentd/WatchEngine.h"

namespace kv::agentd {

// The whole stand-in Agent: resolves its directories, binds its sockets and serves.
class Agent {
public:
    // Creates the state and log directories, reads the stored setting, binds TCP and UDP
    // and writes the start into today's log (seeding the earlier days with --demo).
    // Throws std::runtime_error (or std::system_error) with a readable message.
    // `clock` stands in for the system's time when given; `timing` paces the watching.
    explicit Agent(const AgentOptions& options, DailyLog::Clock clock = {},
                   ServerLimits limits = {}, WatchTiming timing = {});

    std::uint16_t Port() const { return loop_.Port(); }
    // "listening on ADDRESS:PORT"
    std::string ListeningLine() const;

    // Serves and watches until Stop(), then keeps positions and counters and writes the
    // stop into today's log.
    void Run();
    // Safe from another thread and from a signal handler.
    void Stop() { loop_.Stop(); }

    // Where fired watch rows go: their mail and command.
    agentd::FiredRowSink& Actions() { return actions_; }

private:
    Agent(AgentSetup setup, const AgentOptions& options, ServerLimits limits, WatchTiming timing);
    // The stored setting becomes the watched one, at start and after every upload.
    void ApplySetting();

    std::string address_;
    std::string watchStateFile_;
    AgentHandler handler_;
    ServerLoop loop_;
    agentd::ActionRunner actions_;
    // Fires into the actions: built after them, gone before them.
    std::unique_ptr<agentd::WatchEngine> engine_;
};

}  // namespace kv::agentd

#include "cli/AgentSession.h"

namespace kv::cli {

AgentSession::AgentSession(const agent::ConnectionSettings& connection,
                           std::chrono::seconds timeout)
    : requests_(client_) {
    client_.SetIdleTimeout(timeout);
    requests_.ApplyConnection(connection.User(), connection.Password(), connection.AgentPort());
}

}  // namespace kv::cli

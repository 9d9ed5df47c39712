#include "cli/AgentSession.h"

namespace kv {

AgentSession::AgentSession(const ConnectionSettings& connection, std::chrono::seconds timeout)
    : requests_(client_) {
    client_.SetIdleTimeout(timeout);
    requests_.ApplyConnection(connection.User(), connection.Password(), connection.AgentPort());
}

}  // namespace kv

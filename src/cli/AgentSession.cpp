#include "cli/AgentSession.h"

#include <cerrno>

namespace kv::cli {

AgentSession::AgentSession(const agent::ConnectionSettings& connection,
                           std::chrono::seconds timeout, std::chrono::seconds connectTimeout)
    : requests_(client_) {
    client_.SetIdleTimeout(timeout);
    client_.SetConnectTimeout(connectTimeout);
    requests_.ApplyConnection(connection.User(), connection.Password(), connection.AgentPort());
    client_.SetOnRequestDone([this](agent::HttpRequest kind, int error) {
        if (kind != agent::HttpRequest::Close) {
            lastError_ = error;
        }
    });
}

std::string AgentSession::FailureReason() const {
    const int status = client_.ReplyStatus();
    switch (lastError_) {
        case 0:
            break;
        case ECONNREFUSED:
            return "refused";
        case ETIMEDOUT:
            return client_.FailedIn() == agent::HttpState::NotConnected ? "timed out connecting"
                                                                        : "timed out waiting";
        case EPROTO:
            return "broken reply: " + client_.ReplyReason();
        default:
            return client_.ReplyReason();
    }
    if (status == 401) {
        return "401 after credentials";
    }
    return "HTTP " + std::to_string(status) + " " + client_.ReplyReason();
}

}  // namespace kv::cli

#include "agentd/Discovery.h"

#include "agent/Discovery.h"

namespace kv::agentd {

std::optional<std::string> DiscoveryReply(std::string_view datagram, std::string_view serverName) {
    if (datagram != agent::Discovery::kRequest) {
        return std::nullopt;
    }
    std::string reply(agent::Discovery::kReplyTag);
    reply += '|';
    reply += serverName;
    return reply;
}

}  // namespace kv::agentd

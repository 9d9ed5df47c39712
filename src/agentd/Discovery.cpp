#include "agentd/Discovery.h"

#include "agent/Discovery.h"

namespace kv {

std::optional<std::string> DiscoveryReply(std::string_view datagram, std::string_view serverName) {
    if (datagram != Discovery::kRequest) {
        return std::nullopt;
    }
    std::string reply(Discovery::kReplyTag);
    reply += '|';
    reply += serverName;
    return reply;
}

}  // namespace kv

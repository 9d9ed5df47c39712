#include "agentd/Discovery.h"

namespace kv {

std::optional<std::string> DiscoveryReply(std::string_view datagram, std::string_view serverName) {
    if (datagram != kDiscoveryQuestion) {
        return std::nullopt;
    }
    std::string reply(kDiscoveryAnswer);
    reply += '|';
    reply += serverName;
    return reply;
}

}  // namespace kv

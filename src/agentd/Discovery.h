#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kv::agentd {

// The reply to one datagram: the answer, "|" and the server name (Shift_JIS) when the
// datagram is exactly the question; nothing for any other datagram.
std::optional<std::string> DiscoveryReply(std::string_view datagram, std::string_view serverName);

}  // namespace kv::agentd

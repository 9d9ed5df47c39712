#include "agent/Discovery.h"

#include <string>

#include "agent/AddServerCheck.h"
#include "store/ServerList.h"

namespace kv::agent {

void Discovery::Start(std::string_view port, std::string_view destination) {
    socket_.Close();
    socket_.SetDestinationAddress(std::string(destination));
    socket_.SetDestinationPort(std::string(port));
    socket_.SetLocalAddress("0.0.0.0");
    socket_.SetLocalPort("0");
    socket_.Open();
    socket_.SendStr(kRequest);
}

std::vector<std::size_t> Discovery::HandleAvailable(store::ServerList& servers) {
    std::vector<std::size_t> added;
    Datagram datagram;
    for (std::size_t taken = 0; taken < kDatagramsPerCall; ++taken) {
        const TUdpSocket::ReceiveResult result = socket_.Receive(datagram, kMaxReply);
        if (result == TUdpSocket::ReceiveResult::NothingPending || !socket_.IsOpen()) {
            break;
        }
        if (result != TUdpSocket::ReceiveResult::Received) {
            continue;
        }
        if (const auto index =
                HandleReply(datagram.Bytes, datagram.Length, datagram.Source, servers)) {
            added.push_back(*index);
        }
    }
    return added;
}

std::optional<std::size_t> Discovery::HandleReply(std::string_view bytes, std::size_t length,
                                                  std::string_view source,
                                                  store::ServerList& servers) {
    if (length > kMaxReply || bytes.size() > length) {
        return std::nullopt;
    }
    const std::string_view text = bytes.substr(0, bytes.find('\0'));
    const std::size_t bar = text.find('|');
    if (bar == std::string_view::npos || text.substr(0, bar) != kReplyTag) {
        return std::nullopt;
    }
    const std::string_view name = text.substr(bar + 1);
    if (!AddServerCheck::CarriableServerName(name)) {
        return std::nullopt;
    }
    return servers.AddDiscovered(source, name);
}

}  // namespace kv::agent

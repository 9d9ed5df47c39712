#pragma once

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

#include "agent/UdpSocket.h"

namespace kv::store {
class ServerList;
}

namespace kv::agent {

// Finds Agents by one UDP question to the broadcast address and adds every new address
// that answers to the server list. Owns the discovery socket: the window watches Handle()
// for readability (a new descriptor after every Start) and calls HandleAvailable.
class Discovery {
public:
    static constexpr std::string_view kRequest = "Are You Kestrelview Agent?";
    static constexpr std::string_view kReplyTag = "I am Kestrelview Agent.";
    // A longer datagram is not a reply.
    static constexpr std::size_t kMaxReply = 1024;
    // Datagrams taken per HandleAvailable, so that a flood cannot hold the window; the rest
    // stays readable and comes with the next call.
    static constexpr std::size_t kDatagramsPerCall = 64;

    // Closes the socket, reopens it on 0.0.0.0 and a port of the system's choosing, and
    // sends the question to the destination and port. Replies to an earlier Start are lost.
    // Throws std::runtime_error with the socket's text ("Error N in function ...").
    void Start(std::string_view port, std::string_view destination = TUdpSocket::kBroadcastAddress);
    // Takes the waiting datagrams and returns the indices of the entries they added.
    std::vector<std::size_t> HandleAvailable(store::ServerList& servers);

    // One reply of `length` bytes (`bytes` holds at most kMaxReply of them) from `source`:
    // the index of the entry it added, or nothing when it was ignored: too long, not the
    // reply, an address already listed (without regard to case), a full table, or a server
    // name that a setting text could not carry (a double quote or a control byte, which
    // would smuggle fields or lines into that server's uploads).
    static std::optional<std::size_t> HandleReply(std::string_view bytes, std::size_t length,
                                                  std::string_view source,
                                                  store::ServerList& servers);

    TUdpSocket& Socket() { return socket_; }
    int Handle() const { return socket_.Handle(); }

private:
    TUdpSocket socket_;
};

}  // namespace kv::agent

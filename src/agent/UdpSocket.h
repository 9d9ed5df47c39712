#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kv::agent {

// One datagram as received.
struct Datagram {
    std::string Bytes;       // at most the receive limit
    std::size_t Length = 0;  // the datagram's true length, which may exceed the limit
    std::string Source;      // the sender's IPv4 address in dotted decimal
    std::uint16_t SourcePort = 0;
};

// A non-blocking IPv4 UDP socket for the discovery exchange. Addresses and ports are texts,
// applied at Open (local) and at every send (destination). Broadcast permission is switched
// on only when the destination is 255.255.255.255 at Open. Handle() is the descriptor a
// window watches for readability; it changes at every Open.
//
// Failures of Open and SendStr throw std::runtime_error with the text
// "Error " + number + " in function " + operation + CR LF + description.
class TUdpSocket {
public:
    static constexpr std::string_view kBroadcastAddress = "255.255.255.255";

    TUdpSocket() = default;
    ~TUdpSocket();
    TUdpSocket(const TUdpSocket&) = delete;
    TUdpSocket& operator=(const TUdpSocket&) = delete;

    const std::string& DestinationAddress() const { return destinationAddress_; }
    void SetDestinationAddress(std::string address) { destinationAddress_ = std::move(address); }
    const std::string& DestinationPort() const { return destinationPort_; }
    void SetDestinationPort(std::string port) { destinationPort_ = std::move(port); }
    const std::string& LocalAddress() const { return localAddress_; }
    void SetLocalAddress(std::string address) { localAddress_ = std::move(address); }
    const std::string& LocalPort() const { return localPort_; }
    void SetLocalPort(std::string port) { localPort_ = std::move(port); }

    // Creates the socket and binds it to the local address and port; closes any earlier one
    // first, so datagrams still on their way to the old port are lost.
    void Open();
    void Close();
    bool IsOpen() const { return fd_ >= 0; }
    int Handle() const { return fd_; }
    // The port the system bound the socket to; 0 when closed.
    std::uint16_t BoundPort() const;
    bool BroadcastEnabled() const { return broadcast_; }

    // All bytes as one datagram to the destination.
    void SendStr(std::string_view bytes);

    enum class ReceiveResult { Received, NothingPending, Failed };
    // Takes the next waiting datagram, its first `limit` bytes into `out`. Failed: the socket
    // is closed or the system reported an error, which that call consumed.
    ReceiveResult Receive(Datagram& out, std::size_t limit);

private:
    std::string destinationAddress_{kBroadcastAddress};
    std::string destinationPort_ = "4009";
    std::string localAddress_ = "0.0.0.0";
    std::string localPort_ = "0";
    int fd_ = -1;
    bool broadcast_ = false;
};

}  // namespace kv::agent

#include "agent/UdpSocket.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <stdexcept>

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "agent/Resolver.h"

namespace kv::agent {

namespace {

[[noreturn]] void Fail(int error, std::string_view operation, std::string_view description) {
    std::string text = "Error " + std::to_string(error) + " in function ";
    text.append(operation).append("\r\n").append(description);
    throw std::runtime_error(text);
}

[[noreturn]] void FailErrno(int error, std::string_view operation) {
    Fail(error, operation, std::strerror(error));
}

// 0 to 65535, digits only (spaces around them allowed); nullopt otherwise.
std::optional<std::uint16_t> PortNumber(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return std::nullopt;
    }
    text = text.substr(first, text.find_last_not_of(' ') - first + 1);
    if (text.size() > 5 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    const unsigned long value = std::stoul(std::string(text));
    if (value > 65535) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(value);
}

sockaddr_in Endpoint(const std::string& address, std::string_view port,
                     std::string_view operation) {
    const Resolver::Result found = Resolver::System().Lookup(address);
    if (!found.found) {
        Fail(found.error, operation, gai_strerror(found.error));
    }
    const std::optional<std::uint16_t> number = PortNumber(port);
    if (!number) {
        FailErrno(EINVAL, operation);
    }
    sockaddr_in endpoint{};
    endpoint.sin_family = AF_INET;
    endpoint.sin_port = htons(*number);
    endpoint.sin_addr = found.address;
    return endpoint;
}

}  // namespace

TUdpSocket::~TUdpSocket() {
    Close();
}

void TUdpSocket::Open() {
    Close();
    const sockaddr_in local = Endpoint(localAddress_, localPort_, "bind");
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        FailErrno(errno, "socket");
    }
    if (bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        const int error = errno;
        close(fd);
        FailErrno(error, "bind");
    }
    const bool broadcast = destinationAddress_ == kBroadcastAddress;
    const int on = 1;
    if (broadcast && setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0) {
        const int error = errno;
        close(fd);
        FailErrno(error, "setsockopt");
    }
    fd_ = fd;
    broadcast_ = broadcast;
}

void TUdpSocket::Close() {
    if (fd_ >= 0) {
        close(fd_);
        fd_ = -1;
    }
    broadcast_ = false;
}

std::uint16_t TUdpSocket::BoundPort() const {
    sockaddr_in bound{};
    socklen_t length = sizeof bound;
    if (fd_ < 0 || getsockname(fd_, reinterpret_cast<sockaddr*>(&bound), &length) != 0) {
        return 0;
    }
    return ntohs(bound.sin_port);
}

void TUdpSocket::SendStr(std::string_view bytes) {
    if (fd_ < 0) {
        FailErrno(EBADF, "sendto");
    }
    const sockaddr_in destination = Endpoint(destinationAddress_, destinationPort_, "sendto");
    ssize_t sent;
    do {
        sent = sendto(fd_, bytes.data(), bytes.size(), 0,
                      reinterpret_cast<const sockaddr*>(&destination), sizeof destination);
    } while (sent < 0 && errno == EINTR);
    if (sent < 0) {
        FailErrno(errno, "sendto");
    }
}

TUdpSocket::ReceiveResult TUdpSocket::Receive(Datagram& out, std::size_t limit) {
    if (fd_ < 0) {
        return ReceiveResult::Failed;
    }
    out.Bytes.resize(limit);
    sockaddr_in source{};
    socklen_t length = sizeof source;
    ssize_t got;
    do {
        // MSG_TRUNC: the result is the datagram's true length, so an oversized one shows.
        got = recvfrom(fd_, out.Bytes.data(), limit, MSG_TRUNC,
                       reinterpret_cast<sockaddr*>(&source), &length);
    } while (got < 0 && errno == EINTR);
    if (got < 0) {
        out.Bytes.clear();
        return errno == EAGAIN || errno == EWOULDBLOCK ? ReceiveResult::NothingPending
                                                       : ReceiveResult::Failed;
    }
    out.Length = static_cast<std::size_t>(got);
    out.Bytes.resize(std::min(out.Length, limit));
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &source.sin_addr, text, sizeof text);
    out.Source = text;
    out.SourcePort = ntohs(source.sin_port);
    return ReceiveResult::Received;
}

}  // namespace kv::agent

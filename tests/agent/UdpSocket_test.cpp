#include "agent/UdpSocket.h"

#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace kv::agent;

namespace kv {
namespace {

// A plain UDP socket on 127.0.0.1 standing in for the other end.
class Peer {
public:
    Peer() {
        fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in address = Loopback(0);
        socklen_t length = sizeof address;
        bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
    }
    ~Peer() { close(fd_); }

    std::uint16_t Port() const { return port_; }
    void SendTo(std::uint16_t port, const std::string& bytes) const {
        const sockaddr_in to = Loopback(port);
        sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to),
               sizeof to);
    }
    // The next datagram within a second, or "<none>".
    std::string Next() const {
        pollfd p{fd_, POLLIN, 0};
        if (poll(&p, 1, 1000) != 1) {
            return "<none>";
        }
        char buffer[2048];
        const ssize_t got = recv(fd_, buffer, sizeof buffer, 0);
        return got < 0 ? "<error>" : std::string(buffer, static_cast<std::size_t>(got));
    }

    static sockaddr_in Loopback(std::uint16_t port) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return address;
    }

private:
    int fd_;
    std::uint16_t port_ = 0;
};

bool Readable(int fd) {
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, 1000) == 1;
}

int SocketOption(int fd, int option) {
    int value = -1;
    socklen_t length = sizeof value;
    getsockopt(fd, SOL_SOCKET, option, &value, &length);
    return value;
}

TEST(UdpSocket, OpensNonBlockingOnAPortOfTheSystemsChoiceOnEveryAddress) {
    TUdpSocket socket;
    EXPECT_FALSE(socket.IsOpen());
    EXPECT_EQ(socket.Handle(), -1);
    socket.Open();
    ASSERT_TRUE(socket.IsOpen());
    EXPECT_NE(socket.BoundPort(), 0);
    sockaddr_in bound{};
    socklen_t length = sizeof bound;
    getsockname(socket.Handle(), reinterpret_cast<sockaddr*>(&bound), &length);
    EXPECT_EQ(bound.sin_addr.s_addr, htonl(INADDR_ANY));
    EXPECT_NE(fcntl(socket.Handle(), F_GETFL) & O_NONBLOCK, 0);
    EXPECT_EQ(SocketOption(socket.Handle(), SO_TYPE), SOCK_DGRAM);

    Datagram datagram;
    EXPECT_EQ(socket.Receive(datagram, 1024), TUdpSocket::ReceiveResult::NothingPending);
    socket.Close();
    EXPECT_EQ(socket.Receive(datagram, 1024), TUdpSocket::ReceiveResult::Failed);
    EXPECT_EQ(socket.BoundPort(), 0);
}

TEST(UdpSocket, BroadcastPermissionOnlyForTheBroadcastDestination) {
    // Opening sends nothing: the option is only read back.
    TUdpSocket socket;
    EXPECT_EQ(socket.DestinationAddress(), "255.255.255.255");
    socket.Open();
    EXPECT_TRUE(socket.BroadcastEnabled());
    EXPECT_NE(SocketOption(socket.Handle(), SO_BROADCAST), 0);

    socket.SetDestinationAddress("127.0.0.1");
    socket.Open();
    EXPECT_FALSE(socket.BroadcastEnabled());
    EXPECT_EQ(SocketOption(socket.Handle(), SO_BROADCAST), 0);

    // The subnet's own broadcast address is not the broadcast destination.
    socket.SetDestinationAddress("198.18.77.255");
    socket.Open();
    EXPECT_EQ(SocketOption(socket.Handle(), SO_BROADCAST), 0);
}

TEST(UdpSocket, SendsOneDatagramAndReceivesTheAnswerWithItsSource) {
    Peer peer;
    TUdpSocket socket;
    socket.SetDestinationAddress("127.0.0.1");
    socket.SetDestinationPort(std::to_string(peer.Port()));
    socket.Open();
    socket.SendStr("question");
    EXPECT_EQ(peer.Next(), "question");

    peer.SendTo(socket.BoundPort(), "answer");
    ASSERT_TRUE(Readable(socket.Handle()));
    Datagram datagram;
    ASSERT_EQ(socket.Receive(datagram, 1024), TUdpSocket::ReceiveResult::Received);
    EXPECT_EQ(datagram.Bytes, "answer");
    EXPECT_EQ(datagram.Length, 6u);
    EXPECT_EQ(datagram.Source, "127.0.0.1");
    EXPECT_EQ(datagram.SourcePort, peer.Port());
}

TEST(UdpSocket, OversizedDatagramShowsItsTrueLength) {
    Peer peer;
    TUdpSocket socket;
    socket.SetDestinationAddress("127.0.0.1");
    socket.Open();
    peer.SendTo(socket.BoundPort(), std::string(1500, 'x'));
    peer.SendTo(socket.BoundPort(), "");
    ASSERT_TRUE(Readable(socket.Handle()));
    Datagram datagram;
    ASSERT_EQ(socket.Receive(datagram, 1024), TUdpSocket::ReceiveResult::Received);
    EXPECT_EQ(datagram.Length, 1500u);
    EXPECT_EQ(datagram.Bytes, std::string(1024, 'x'));
    ASSERT_TRUE(Readable(socket.Handle()));
    ASSERT_EQ(socket.Receive(datagram, 1024), TUdpSocket::ReceiveResult::Received);
    EXPECT_EQ(datagram.Length, 0u);
    EXPECT_EQ(datagram.Bytes, "");
}

TEST(UdpSocket, ReopeningDropsWhatWasOnItsWayToTheOldPort) {
    Peer peer;
    TUdpSocket socket;
    socket.SetDestinationAddress("127.0.0.1");
    socket.Open();
    const std::uint16_t oldPort = socket.BoundPort();
    peer.SendTo(oldPort, "late");
    ASSERT_TRUE(Readable(socket.Handle()));
    socket.Open();
    Datagram datagram;
    EXPECT_EQ(socket.Receive(datagram, 1024), TUdpSocket::ReceiveResult::NothingPending);
}

std::string FailureText(const std::function<void()>& action) {
    try {
        action();
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "<no failure>";
}

TEST(UdpSocket, FailuresNameTheErrorNumberAndTheFunction) {
    TUdpSocket socket;
    EXPECT_EQ(FailureText([&] { socket.SendStr("x"); }),
              "Error 9 in function sendto\r\nBad file descriptor");

    socket.SetLocalAddress("1.2.3.4.5");
    EXPECT_EQ(FailureText([&] { socket.Open(); }).rfind("Error ", 0), 0u);
    EXPECT_NE(FailureText([&] { socket.Open(); }).find(" in function bind\r\n"), std::string::npos);
    EXPECT_FALSE(socket.IsOpen());

    // An address of another host cannot be bound.
    socket.SetLocalAddress("198.18.77.1");
    EXPECT_EQ(FailureText([&] { socket.Open(); }),
              "Error 99 in function bind\r\nCannot assign requested address");

    socket.SetLocalAddress("0.0.0.0");
    socket.SetDestinationAddress("127.0.0.1");
    socket.SetDestinationPort("70000");
    socket.Open();
    EXPECT_EQ(FailureText([&] { socket.SendStr("x"); }),
              "Error 22 in function sendto\r\nInvalid argument");
}

}  // namespace
}  // namespace kv

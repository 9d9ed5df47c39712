#include "agentd/ServerLoop.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <mutex>
#include <stdexcept>
#include <system_error>
#include <utility>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kv::agentd {
namespace {

// Work done per connection and per wake-up is bounded so that no client starves the others.
constexpr int kReadsPerWakeup = 4;
constexpr int kWritesPerWakeup = 16;
constexpr int kAcceptsPerWakeup = 16;
constexpr int kDatagramsPerWakeup = 32;
constexpr std::size_t kChunk = 64 * 1024;
// After the reply, what the client still sends is read and dropped for a short while, so
// that closing does not reset the connection under a reply it has not read yet.
constexpr std::size_t kMaxDrainBytes = 256 * 1024;
constexpr std::chrono::milliseconds kDrainLinger{2000};

std::system_error SystemError(const std::string& what) {
    return std::system_error(errno, std::generic_category(), what);
}

sockaddr_in MakeAddress(in_addr address, std::uint16_t port) {
    sockaddr_in socketAddress{};
    socketAddress.sin_family = AF_INET;
    socketAddress.sin_addr = address;
    socketAddress.sin_port = htons(port);
    return socketAddress;
}

std::string DottedAddress(const sockaddr_in& address) {
    std::array<char, INET_ADDRSTRLEN> text{};
    inet_ntop(AF_INET, &address.sin_addr, text.data(), text.size());
    return text.data();
}

}  // namespace

struct ServerLoop::Connection {
    enum class Phase { Reading, Working, Delayed, Writing, Draining, Closed };

    Connection(UniqueFd socket, std::string from, HttpLimits limits, Clock::time_point now)
        : fd(std::move(socket)),
          peer(std::move(from)),
          parser(limits),
          started(now),
          lastActivity(now) {}

    UniqueFd fd;
    std::string peer;
    HttpRequestParser parser;
    Phase phase = Phase::Reading;
    std::string out;
    std::size_t outPos = 0;
    UniqueFd file;
    std::uint64_t fileLeft = 0;
    std::size_t drained = 0;
    Clock::time_point started;
    Clock::time_point lastActivity;
    Clock::time_point sendAt;
};

// A reply being worked out on a thread; the connection may be gone by the time it is done.
struct ServerLoop::Later {
    Connection* connection = nullptr;  // null once the connection is closed
    std::function<HttpResponse()> work;
    std::thread thread;  // not joinable while it waits for a free thread
    std::mutex mutex;
    bool done = false;
    HttpResponse result;
};

ServerLoop::ServerLoop(ServerLimits limits, ServerCallbacks callbacks)
    : limits_(limits), callbacks_(std::move(callbacks)) {
    int ends[2];
    if (pipe2(ends, O_NONBLOCK | O_CLOEXEC) != 0) {
        throw SystemError("cannot create the wake-up pipe");
    }
    wakeRead_.Reset(ends[0]);
    wakeWrite_.Reset(ends[1]);
    if (pipe2(ends, O_NONBLOCK | O_CLOEXEC) != 0) {
        throw SystemError("cannot create the wake-up pipe");
    }
    laterRead_.Reset(ends[0]);
    laterWrite_.Reset(ends[1]);
}

ServerLoop::~ServerLoop() {
    for (const auto& later : later_) {
        if (later->thread.joinable()) {
            later->thread.join();
        }
    }
}

void ServerLoop::Open(const std::string& address, std::uint16_t port) {
    in_addr ip{};
    if (inet_pton(AF_INET, address.c_str(), &ip) != 1) {
        throw std::runtime_error("not an IPv4 address: " + address);
    }
    const std::string where = address + ":" + std::to_string(port);
    // With port 0 the system picks the TCP port; the same number may be taken for UDP, so
    // a few picks are tried.
    const int attempts = port == 0 ? 16 : 1;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        UniqueFd tcp(socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
        if (!tcp.Valid()) {
            throw SystemError("cannot create a TCP socket");
        }
        const int on = 1;
        setsockopt(tcp.Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in tcpAddress = MakeAddress(ip, port);
        if (bind(tcp.Get(), reinterpret_cast<sockaddr*>(&tcpAddress), sizeof tcpAddress) != 0 ||
            listen(tcp.Get(), 64) != 0) {
            throw SystemError("cannot listen on " + where);
        }
        socklen_t length = sizeof tcpAddress;
        getsockname(tcp.Get(), reinterpret_cast<sockaddr*>(&tcpAddress), &length);
        const std::uint16_t chosen = ntohs(tcpAddress.sin_port);

        UniqueFd udp(socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
        if (!udp.Valid()) {
            throw SystemError("cannot create a UDP socket");
        }
        sockaddr_in udpAddress = MakeAddress(ip, chosen);
        if (bind(udp.Get(), reinterpret_cast<sockaddr*>(&udpAddress), sizeof udpAddress) == 0) {
            listener_ = std::move(tcp);
            datagrams_ = std::move(udp);
            port_ = chosen;
            return;
        }
        if (errno != EADDRINUSE || port != 0) {
            throw SystemError("cannot bind UDP on " + address + ":" + std::to_string(chosen));
        }
    }
    throw std::runtime_error("no port on " + address + " is free for both TCP and UDP");
}

void ServerLoop::Stop() {
    const char byte = 's';
    const ssize_t written = ::write(wakeWrite_.Get(), &byte, 1);
    static_cast<void>(written);
}

void ServerLoop::Watch(int fd, std::function<void()> onReadable) {
    watched_.emplace_back(fd, std::move(onReadable));
}

void ServerLoop::SetTick(std::function<std::chrono::milliseconds()> tick) {
    tick_ = std::move(tick);
    tickDue_ = Clock::now();
}

void ServerLoop::Run() {
    std::vector<pollfd> fds;
    const std::size_t first = 4 + watched_.size();
    for (;;) {
        if (tick_ && Clock::now() >= tickDue_) {
            tickDue_ = Clock::now() + tick_();
        }
        const std::size_t polled = connections_.size();
        fds.clear();
        fds.push_back({wakeRead_.Get(), POLLIN, 0});
        fds.push_back({datagrams_.Get(), POLLIN, 0});
        fds.push_back({listener_.Get(), short(polled < limits_.maxConnections ? POLLIN : 0), 0});
        fds.push_back({laterRead_.Get(), POLLIN, 0});
        for (const auto& [fd, handler] : watched_) {
            fds.push_back({fd, POLLIN, 0});
        }
        for (const auto& connection : connections_) {
            const auto phase = connection->phase;
            const bool waiting =
                phase == Connection::Phase::Delayed || phase == Connection::Phase::Working;
            const short events = phase == Connection::Phase::Writing ? POLLOUT
                                 : waiting                           ? 0
                                                                     : POLLIN;
            fds.push_back({connection->fd.Get(), events, 0});
        }
        if (poll(fds.data(), fds.size(), PollTimeout(Clock::now())) < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw SystemError("poll failed");
        }
        if (fds[0].revents != 0) {
            break;
        }
        if (fds[1].revents != 0) {
            AnswerDatagrams();
        }
        if (fds[3].revents != 0) {
            CollectLater();
        }
        for (std::size_t i = 0; i < watched_.size(); ++i) {
            if (fds[4 + i].revents != 0) {
                watched_[i].second();
            }
        }
        for (std::size_t i = 0; i < polled; ++i) {
            if (fds[first + i].revents != 0) {
                Service(*connections_[i], fds[first + i].revents);
            }
        }
        if (fds[2].revents != 0) {
            AcceptConnections();
        }
        ReleaseDelayed(Clock::now());
        ExpireIdle(Clock::now());
        for (const auto& later : later_) {
            if (later->connection != nullptr &&
                later->connection->phase == Connection::Phase::Closed) {
                later->connection = nullptr;
            }
        }
        std::erase_if(connections_, [](const auto& connection) {
            return connection->phase == Connection::Phase::Closed;
        });
    }
    char sink[64];
    while (::read(wakeRead_.Get(), sink, sizeof sink) > 0) {
    }
    for (const auto& later : later_) {
        later->connection = nullptr;
    }
    connections_.clear();
}

void ServerLoop::StartLater(Connection& connection, std::function<HttpResponse()> work) {
    auto later = std::make_shared<Later>();
    later->connection = &connection;
    later->work = std::move(work);
    connection.phase = Connection::Phase::Working;
    later_.push_back(std::move(later));
    LaunchLater();
}

void ServerLoop::LaunchLater() {
    // Work whose client has gone is not started at all.
    std::erase_if(later_, [](const auto& later) {
        return !later->thread.joinable() && later->connection == nullptr;
    });
    auto running = static_cast<std::size_t>(std::count_if(
        later_.begin(), later_.end(), [](const auto& later) { return later->thread.joinable(); }));
    const int wake = laterWrite_.Get();
    for (const auto& entry : later_) {
        if (running >= limits_.maxLaterReplies) {
            return;
        }
        if (entry->thread.joinable()) {
            continue;
        }
        ++running;
        entry->thread = std::thread([later = entry.get(), wake] {
            HttpResponse result;
            try {
                result = later->work();
            } catch (const std::exception&) {
                result = HttpResponse::Status(500);
            }
            {
                const std::lock_guard lock(later->mutex);
                later->result = std::move(result);
                later->done = true;
            }
            const char byte = 'd';
            const ssize_t written = ::write(wake, &byte, 1);
            static_cast<void>(written);
        });
    }
}

void ServerLoop::CollectLater() {
    char sink[64];
    while (::read(laterRead_.Get(), sink, sizeof sink) > 0) {
    }
    std::erase_if(later_, [this](const std::shared_ptr<Later>& later) {
        if (!later->thread.joinable()) {
            return false;
        }
        {
            const std::lock_guard lock(later->mutex);
            if (!later->done) {
                return false;
            }
        }
        later->thread.join();
        if (later->connection != nullptr &&
            later->connection->phase == Connection::Phase::Working) {
            later->result.later = nullptr;
            Respond(*later->connection, std::move(later->result));
        }
        return true;
    });
    LaunchLater();
}

int ServerLoop::PollTimeout(Clock::time_point now) const {
    // An idle Agent sleeps until its tick or its next deadline, and without those for good.
    std::optional<std::chrono::milliseconds> wait;
    if (tick_) {
        wait = std::chrono::ceil<std::chrono::milliseconds>(tickDue_ - now);
    }
    for (const auto& connection : connections_) {
        if (connection->phase == Connection::Phase::Working) {
            continue;
        }
        if (connection->phase == Connection::Phase::Delayed) {
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(connection->sendAt - now);
            wait = wait ? std::min(*wait, left) : left;
            continue;
        }
        const auto idle = connection->phase == Connection::Phase::Draining
                              ? std::min(limits_.idleTimeout, kDrainLinger)
                              : limits_.idleTimeout;
        auto due = connection->lastActivity + idle;
        if (connection->phase == Connection::Phase::Reading) {
            due = std::min(due, connection->started + limits_.requestDeadline);
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(due - now);
        wait = wait ? std::min(*wait, left) : left;
    }
    if (!wait) {
        return -1;
    }
    return static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(wait->count(), 0, 60000));
}

void ServerLoop::ReleaseDelayed(Clock::time_point now) {
    for (auto& connection : connections_) {
        if (connection->phase == Connection::Phase::Delayed && now >= connection->sendAt) {
            connection->phase = Connection::Phase::Writing;
            connection->lastActivity = now;
        }
    }
}

void ServerLoop::ExpireIdle(Clock::time_point now) {
    for (auto& connection : connections_) {
        if (connection->phase == Connection::Phase::Delayed ||
            connection->phase == Connection::Phase::Working) {
            continue;
        }
        const auto idle = connection->phase == Connection::Phase::Draining
                              ? std::min(limits_.idleTimeout, kDrainLinger)
                              : limits_.idleTimeout;
        const bool late = connection->phase == Connection::Phase::Reading &&
                          now - connection->started >= limits_.requestDeadline;
        if (late || now - connection->lastActivity >= idle) {
            connection->phase = Connection::Phase::Closed;
        }
    }
}

void ServerLoop::AcceptConnections() {
    for (int i = 0; i < kAcceptsPerWakeup && connections_.size() < limits_.maxConnections; ++i) {
        sockaddr_in from{};
        socklen_t length = sizeof from;
        UniqueFd socket(accept4(listener_.Get(), reinterpret_cast<sockaddr*>(&from), &length,
                                SOCK_NONBLOCK | SOCK_CLOEXEC));
        if (!socket.Valid()) {
            return;
        }
        std::string peer = DottedAddress(from);
        const auto held =
            std::count_if(connections_.begin(), connections_.end(), [&](const auto& c) {
                return c->phase == Connection::Phase::Delayed && c->peer == peer;
            });
        if (static_cast<std::size_t>(held) >= limits_.maxDelayedPerPeer) {
            continue;
        }
        connections_.push_back(std::make_unique<Connection>(std::move(socket), std::move(peer),
                                                            limits_.http, Clock::now()));
    }
}

void ServerLoop::AnswerDatagrams() {
    // One byte more than the largest datagram handled, to see oversized ones.
    std::array<char, 2048> buffer{};
    for (int i = 0; i < kDatagramsPerWakeup; ++i) {
        sockaddr_in from{};
        socklen_t length = sizeof from;
        const ssize_t size =
            recvfrom(datagrams_.Get(), buffer.data(), buffer.size(), MSG_TRUNC | MSG_DONTWAIT,
                     reinterpret_cast<sockaddr*>(&from), &length);
        if (size < 0) {
            return;
        }
        if (static_cast<std::size_t>(size) > buffer.size()) {
            continue;
        }
        const auto reply =
            callbacks_.datagram(std::string_view(buffer.data(), static_cast<std::size_t>(size)));
        if (reply) {
            sendto(datagrams_.Get(), reply->data(), reply->size(), MSG_DONTWAIT | MSG_NOSIGNAL,
                   reinterpret_cast<sockaddr*>(&from), length);
        }
    }
}

void ServerLoop::Service(Connection& connection, short events) {
    switch (connection.phase) {
        case Connection::Phase::Reading:
            ReadRequest(connection);
            break;
        case Connection::Phase::Delayed:
        case Connection::Phase::Working:
            if ((events & (POLLERR | POLLHUP)) != 0) {
                connection.phase = Connection::Phase::Closed;
            }
            break;
        case Connection::Phase::Writing:
            if ((events & (POLLERR | POLLHUP)) != 0) {
                connection.phase = Connection::Phase::Closed;
                break;
            }
            WriteReply(connection);
            break;
        case Connection::Phase::Draining:
            Drain(connection);
            break;
        case Connection::Phase::Closed:
            break;
    }
}

void ServerLoop::ReadRequest(Connection& connection) {
    std::array<char, 16 * 1024> buffer{};
    for (int i = 0; i < kReadsPerWakeup; ++i) {
        const ssize_t size = recv(connection.fd.Get(), buffer.data(), buffer.size(), MSG_DONTWAIT);
        if (size < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
            return;
        }
        if (size <= 0) {
            // The client went away before its request was whole: nobody to answer.
            connection.phase = Connection::Phase::Closed;
            return;
        }
        connection.lastActivity = Clock::now();
        const auto state =
            connection.parser.Feed(std::string_view(buffer.data(), static_cast<std::size_t>(size)));
        if (state == HttpRequestParser::State::NeedMore) {
            continue;
        }
        HttpResponse response;
        try {
            response = state == HttpRequestParser::State::Complete
                           ? callbacks_.serve(connection.parser.Request(), connection.peer)
                           : callbacks_.reject(connection.parser.ErrorStatus(), connection.peer);
        } catch (const std::exception&) {
            response = callbacks_.reject(500, connection.peer);
        }
        Respond(connection, std::move(response));
        return;
    }
}

void ServerLoop::Respond(Connection& connection, HttpResponse response) {
    if (response.later) {
        StartLater(connection, std::move(response.later));
        return;
    }
    connection.out = response.HeaderBlock();
    connection.outPos = 0;
    if (response.file.Valid()) {
        connection.file = std::move(response.file);
        connection.fileLeft = response.fileSize;
    } else {
        connection.out += response.body;
    }
    connection.lastActivity = Clock::now();
    connection.sendAt = connection.lastActivity + response.delay;
    connection.phase =
        response.delay.count() > 0 ? Connection::Phase::Delayed : Connection::Phase::Writing;
}

void ServerLoop::WriteReply(Connection& connection) {
    for (int i = 0; i < kWritesPerWakeup; ++i) {
        if (connection.outPos == connection.out.size()) {
            if (connection.fileLeft == 0) {
                shutdown(connection.fd.Get(), SHUT_WR);
                connection.phase = Connection::Phase::Draining;
                return;
            }
            connection.out.resize(
                static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, connection.fileLeft)));
            const ssize_t got =
                ::read(connection.file.Get(), connection.out.data(), connection.out.size());
            if (got <= 0) {
                // The file shrank under us: the promised length cannot be kept.
                connection.phase = Connection::Phase::Closed;
                return;
            }
            connection.out.resize(static_cast<std::size_t>(got));
            connection.outPos = 0;
            connection.fileLeft -= static_cast<std::uint64_t>(got);
        }
        const ssize_t sent =
            send(connection.fd.Get(), connection.out.data() + connection.outPos,
                 connection.out.size() - connection.outPos, MSG_DONTWAIT | MSG_NOSIGNAL);
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
            return;
        }
        if (sent <= 0) {
            connection.phase = Connection::Phase::Closed;
            return;
        }
        connection.outPos += static_cast<std::size_t>(sent);
        connection.lastActivity = Clock::now();
    }
}

void ServerLoop::Drain(Connection& connection) {
    std::array<char, 16 * 1024> buffer{};
    const ssize_t size = recv(connection.fd.Get(), buffer.data(), buffer.size(), MSG_DONTWAIT);
    if (size < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
        return;
    }
    connection.drained += size > 0 ? static_cast<std::size_t>(size) : 0;
    if (size <= 0 || connection.drained > kMaxDrainBytes) {
        connection.phase = Connection::Phase::Closed;
    }
}

}  // namespace kv::agentd

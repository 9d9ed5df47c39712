#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "agentd/HttpRequest.h"
#include "agentd/HttpResponse.h"
#include "agentd/UniqueFd.h"

namespace kv::agentd {

struct ServerLimits {
    HttpLimits http;
    // A connection that makes no progress for this long is dropped.
    std::chrono::milliseconds idleTimeout{10000};
    // A request must have arrived whole within this time, however it trickles in.
    std::chrono::milliseconds requestDeadline{30000};
    std::size_t maxConnections = 64;
    // Answers held back for one address at once (wrong passwords); its further
    // connections are closed at once, so that a guesser cannot take every place.
    std::size_t maxDelayedPerPeer = 4;
    // Replies worked out on threads of their own at once; more wait for a free thread.
    std::size_t maxLaterReplies = 2;
};

struct ServerCallbacks {
    // A well-formed request and the dotted address of its sender.
    std::function<HttpResponse(const HttpRequest&, const std::string& peer)> serve;
    // A request that could not be read, with the status it is answered with.
    std::function<HttpResponse(int status, const std::string& peer)> reject;
    // One datagram; the reply to send back to its sender, if any.
    std::function<std::optional<std::string>(std::string_view datagram)> datagram;
};

// A single-threaded poll loop serving HTTP/1.0 over TCP and datagrams over UDP on the
// same address and port. Every connection carries one request and one reply.
class ServerLoop {
public:
    ServerLoop(ServerLimits limits, ServerCallbacks callbacks);
    ~ServerLoop();
    ServerLoop(const ServerLoop&) = delete;
    ServerLoop& operator=(const ServerLoop&) = delete;

    // Binds TCP and UDP to the IPv4 address; port 0 picks a port free for both.
    // Throws std::system_error or std::runtime_error with a readable message.
    void Open(const std::string& address, std::uint16_t port);
    std::uint16_t Port() const { return port_; }

    // Another descriptor served by the loop: `onReadable` runs whenever it is readable.
    void Watch(int fd, std::function<void()> onReadable);
    // Work run on the loop when due: first when Run() starts, then after the delay each run
    // returns (zero: as soon as the sockets have been served). Without traffic the loop
    // sleeps until then.
    void SetTick(std::function<std::chrono::milliseconds()> tick);
    // Makes the tick due now; from the loop's own thread (a watched descriptor's handler).
    void TickSoon() { tickDue_ = Clock::now(); }

    // Serves until Stop() is called (also when it was called before Run()).
    void Run();
    // Safe from another thread and from a signal handler.
    void Stop();

private:
    struct Connection;
    struct Later;
    using Clock = std::chrono::steady_clock;

    void AcceptConnections();
    void AnswerDatagrams();
    void Service(Connection& connection, short events);
    void ReadRequest(Connection& connection);
    void WriteReply(Connection& connection);
    void Drain(Connection& connection);
    void Respond(Connection& connection, HttpResponse response);
    void ExpireIdle(Clock::time_point now);
    void ReleaseDelayed(Clock::time_point now);
    void StartLater(Connection& connection, std::function<HttpResponse()> work);
    void CollectLater();
    void LaunchLater();
    int PollTimeout(Clock::time_point now) const;

    ServerLimits limits_;
    ServerCallbacks callbacks_;
    UniqueFd listener_;
    UniqueFd datagrams_;
    UniqueFd wakeRead_;
    UniqueFd wakeWrite_;
    UniqueFd laterRead_;
    UniqueFd laterWrite_;
    std::vector<std::shared_ptr<Later>> later_;
    std::uint16_t port_ = 0;
    std::vector<std::unique_ptr<Connection>> connections_;
    std::vector<std::pair<int, std::function<void()>>> watched_;
    std::function<std::chrono::milliseconds()> tick_;
    Clock::time_point tickDue_{};
};

}  // namespace kv::agentd

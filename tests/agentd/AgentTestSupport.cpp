#include "AgentTestSupport.h"

#include <array>
#include <chrono>
#include <filesystem>
#include <stdexcept>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "agentd/UniqueFd.h"

using namespace kv::agentd;

namespace kv::test {
namespace {

sockaddr_in Loopback(std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

bool WaitReadable(int fd, std::chrono::steady_clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
        return false;
    }
    pollfd entry{fd, POLLIN, 0};
    return poll(&entry, 1, static_cast<int>(left.count())) > 0;
}

}  // namespace

std::string RawReply::Header(std::string_view name) const {
    const std::string key = "\r\n" + std::string(name) + ": ";
    const auto at = head.find(key);
    if (at == std::string::npos) {
        return {};
    }
    const auto start = at + key.size();
    return head.substr(start, head.find("\r\n", start) - start);
}

std::string Exchange(std::uint16_t port, std::string_view request) {
    UniqueFd socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    const sockaddr_in address = Loopback(port);
    if (connect(socket.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        throw std::runtime_error("cannot connect");
    }
    std::size_t sent = 0;
    while (sent < request.size()) {
        const ssize_t n =
            send(socket.Get(), request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) {
            break;
        }
        sent += static_cast<std::size_t>(n);
    }
    std::string reply;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    std::array<char, 16384> buffer{};
    while (WaitReadable(socket.Get(), deadline)) {
        const ssize_t n = recv(socket.Get(), buffer.data(), buffer.size(), 0);
        if (n <= 0) {
            break;
        }
        reply.append(buffer.data(), static_cast<std::size_t>(n));
    }
    return reply;
}

RawReply ParseReply(const std::string& bytes) {
    RawReply reply;
    const auto end = bytes.find("\r\n\r\n");
    reply.head = bytes.substr(0, end);
    if (end != std::string::npos) {
        reply.body = bytes.substr(end + 4);
    }
    if (reply.head.starts_with("HTTP/1.0 ") && reply.head.size() >= 12) {
        reply.status = std::stoi(reply.head.substr(9, 3));
    }
    return reply;
}

std::string Base64(std::string_view bytes) {
    static constexpr char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        unsigned group = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size()) {
            group |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        }
        if (i + 2 < bytes.size()) {
            group |= static_cast<unsigned char>(bytes[i + 2]);
        }
        out += kAlphabet[group >> 18 & 63];
        out += kAlphabet[group >> 12 & 63];
        out += i + 1 < bytes.size() ? kAlphabet[group >> 6 & 63] : '=';
        out += i + 2 < bytes.size() ? kAlphabet[group & 63] : '=';
    }
    return out;
}

std::string AuthLine(std::string_view user, std::string_view password) {
    return "Authorization: Basic " + Base64(std::string(user) + ":" + std::string(password)) +
           "\r\n";
}

RawReply Get(std::uint16_t port, std::string_view target, std::string_view authLine) {
    return ParseReply(Exchange(port, "GET " + std::string(target) +
                                         " HTTP/1.0\r\nAccept: */*\r\nHost: 127.0.0.1\r\n" +
                                         std::string(authLine) + "\r\n"));
}

RawReply Post(std::uint16_t port, std::string_view target, std::string_view body,
              std::string_view authLine) {
    return ParseReply(
        Exchange(port, "POST " + std::string(target) +
                           " HTTP/1.0\r\nContent-Type: application/x-www-form-urlencoded\r\n"
                           "Content-Length: " +
                           std::to_string(body.size()) + "\r\n" + std::string(authLine) + "\r\n" +
                           std::string(body)));
}

std::optional<std::string> FirstAnswer(std::uint16_t port,
                                       const std::vector<std::string>& datagrams, int waitMs) {
    UniqueFd socket(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    sockaddr_in local = Loopback(0);
    if (bind(socket.Get(), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        throw std::runtime_error("cannot bind");
    }
    const sockaddr_in agent = Loopback(port);
    for (const std::string& datagram : datagrams) {
        sendto(socket.Get(), datagram.data(), datagram.size(), 0,
               reinterpret_cast<const sockaddr*>(&agent), sizeof agent);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    if (!WaitReadable(socket.Get(), deadline)) {
        return std::nullopt;
    }
    std::array<char, 2048> buffer{};
    const ssize_t n = recv(socket.Get(), buffer.data(), buffer.size(), 0);
    if (n < 0) {
        return std::nullopt;
    }
    return std::string(buffer.data(), static_cast<std::size_t>(n));
}

std::optional<std::string> AskOverUdp(std::uint16_t port, std::string_view datagram, int waitMs) {
    return FirstAnswer(port, {std::string(datagram)}, waitMs);
}

std::time_t LocalNoon(int year, int month, int day) {
    std::tm date{};
    date.tm_year = year - 1900;
    date.tm_mon = month - 1;
    date.tm_mday = day;
    date.tm_hour = 12;
    date.tm_isdst = -1;
    return std::mktime(&date);
}

AgentRunner::AgentRunner(AgentOptions options, std::time_t now, ServerLimits limits) {
    std::filesystem::create_directories(dir_.File("root"));
    options.listen = "127.0.0.1";
    options.port = 0;
    options.root = dir_.File("root");
    options.stateDir = dir_.File("state");
    if (options.name.empty()) {
        options.name = "監視サーバ1";
    }
    agent_ = std::make_unique<Agent>(
        options, [now] { return now; }, limits);
    thread_ = std::thread([this] { agent_->Run(); });
}

AgentRunner::~AgentRunner() {
    agent_->Stop();
    thread_.join();
}

}  // namespace kv::test

#include "support/ScriptedServer.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <stdexcept>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kv::test {

namespace {

// Content-Length of a request header, 0 when absent.
std::size_t ContentLength(const std::string& header) {
    std::string lower(header);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const std::size_t at = lower.find("\r\ncontent-length:");
    return at == std::string::npos ? 0 : std::stoul(header.substr(at + 17));
}

}  // namespace

ScriptedServer::ScriptedServer(std::vector<Reply> script)
    : ScriptedServer(std::move(script), "127.0.0.1", 0) {}

ScriptedServer::ScriptedServer(std::vector<Reply> script, const std::string& address,
                               std::uint16_t port)
    : script_(std::move(script)), address_(address) {
    sockaddr_in socketAddress{};
    socketAddress.sin_family = AF_INET;
    socketAddress.sin_port = htons(port);
    if (inet_pton(AF_INET, address.c_str(), &socketAddress.sin_addr) != 1 ||
        (ntohl(socketAddress.sin_addr.s_addr) >> 24) != 127) {
        throw std::runtime_error("ScriptedServer: " + address + " is no loopback address");
    }
    Listen(socketAddress);
}

void ScriptedServer::Listen(sockaddr_in address) {
    listenFd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    socklen_t length = sizeof address;
    if (listenFd_ < 0 ||
        bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listenFd_, 64) != 0 ||
        getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        pipe2(stopPipe_, O_CLOEXEC) != 0) {
        throw std::runtime_error("ScriptedServer: cannot listen on " + address_);
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread(&ScriptedServer::Serve, this);
}

ScriptedServer::~ScriptedServer() {
    const char stop = 's';
    (void)!write(stopPipe_[1], &stop, 1);
    thread_.join();
    close(listenFd_);
    close(stopPipe_[0]);
    close(stopPipe_[1]);
}

std::string ScriptedServer::Url(const std::string& path) const {
    return "http://" + address_ + ":" + std::to_string(port_) + path;
}

std::vector<ScriptedServer::Request> ScriptedServer::Requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

void ScriptedServer::Serve() {
    std::size_t next = 0;
    int fd = -1;
    for (;;) {
        fd = NextConnection(fd);
        if (fd < 0) {
            return;
        }
        std::string request;
        if (!ReadRequest(fd, request)) {
            close(fd);
            fd = -1;
            continue;
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            requests_.push_back({request, connections_ - 1});
        }
        if (next >= script_.size()) {
            close(fd);
            fd = -1;
            continue;
        }
        const Reply& reply = script_[next++];
        if (!Pause(reply.delayMs) || !SendAll(fd, reply.bytes)) {
            close(fd);
            fd = -1;
            continue;
        }
        switch (reply.after) {
            case After::KeepOpen:
                continue;
            case After::Reset: {
                const linger abortive{1, 0};
                setsockopt(fd, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
                break;
            }
            case After::Hang: {
                char drop[4096];
                while (WaitReady(fd, POLLIN) && recv(fd, drop, sizeof drop, 0) > 0) {
                }
                break;
            }
            case After::Close:
                break;
        }
        close(fd);
        fd = -1;
    }
}

int ScriptedServer::NextConnection(int kept) {
    for (;;) {
        pollfd fds[3] = {{stopPipe_[0], POLLIN, 0}, {listenFd_, POLLIN, 0}, {kept, POLLIN, 0}};
        if (poll(fds, kept >= 0 ? 3 : 2, -1) < 0) {
            continue;
        }
        if (fds[0].revents != 0) {
            if (kept >= 0) {
                close(kept);
            }
            return -1;
        }
        if (kept >= 0 && fds[2].revents != 0) {
            return kept;
        }
        if (fds[1].revents != 0) {
            const int fd = accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
            if (fd >= 0) {
                if (kept >= 0) {
                    close(kept);
                }
                ++connections_;
                return fd;
            }
        }
    }
}

bool ScriptedServer::ReadRequest(int fd, std::string& request) {
    std::size_t headerEnd = std::string::npos;
    std::size_t wanted = 0;
    char buffer[8192];
    while (headerEnd == std::string::npos || request.size() < wanted) {
        const ssize_t got = recv(fd, buffer, sizeof buffer, 0);
        if (got > 0) {
            request.append(buffer, static_cast<std::size_t>(got));
            if (headerEnd == std::string::npos) {
                headerEnd = request.find("\r\n\r\n");
                if (headerEnd != std::string::npos) {
                    wanted = headerEnd + 4 + ContentLength(request.substr(0, headerEnd + 2));
                }
            }
        } else if (got == 0 || (errno != EAGAIN && errno != EINTR) || !WaitReady(fd, POLLIN)) {
            return false;
        }
    }
    request.resize(wanted);
    return true;
}

bool ScriptedServer::SendAll(int fd, const std::string& bytes) {
    std::size_t at = 0;
    while (at < bytes.size()) {
        const ssize_t sent = send(fd, bytes.data() + at, bytes.size() - at, MSG_NOSIGNAL);
        if (sent > 0) {
            at += static_cast<std::size_t>(sent);
        } else if ((errno != EAGAIN && errno != EINTR) || !WaitReady(fd, POLLOUT)) {
            return false;
        }
    }
    return true;
}

bool ScriptedServer::WaitReady(int fd, short events) {
    for (;;) {
        pollfd fds[2] = {{fd, events, 0}, {stopPipe_[0], POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) {
            continue;
        }
        if (fds[1].revents != 0) {
            return false;
        }
        if (fds[0].revents != 0) {
            return true;
        }
    }
}

bool ScriptedServer::Pause(int ms) {
    pollfd stop{stopPipe_[0], POLLIN, 0};
    return ms <= 0 || poll(&stop, 1, ms) == 0;
}

}  // namespace kv::test

// Downloads a 1 GiB body with Content-Length from a loopback server in this process with
// THttpCli into memory and with curl into /dev/shm, in alternating rounds, and prints every
// round: no warm-up is hidden, so the first round is the first download this process makes,
// as a user's is. The client runs twice per round: into a fresh buffer, whose pages the
// kernel must first supply, and into a buffer reused from the round before, which shows the
// transfer itself. It measures; it never fails on a time.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include "ProcStatus.h"
#include "agent/HttpCli.h"

using namespace kv::agent;
using namespace kv::bench;

extern char** environ;

namespace {

constexpr std::uint64_t kBodySize = std::uint64_t(1) << 30;
constexpr int kRounds = 3;

// Serves every connection the same reply: a header, then kBodySize bytes of a pattern.
class BodyServer {
public:
    BodyServer() : pattern_(1 << 20) {
        for (std::size_t i = 0; i < pattern_.size(); ++i) {
            pattern_[i] = static_cast<char>('a' + i % 23);
        }
        listenFd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(listenFd_, 4);
        getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { Serve(); });
    }

    ~BodyServer() {
        stop_ = true;
        shutdown(listenFd_, SHUT_RDWR);
        thread_.join();
        close(listenFd_);
    }

    std::string Url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/big"; }

private:
    void Serve() {
        while (!stop_) {
            const int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) {
                continue;
            }
            std::string request;
            char buffer[4096];
            while (request.find("\r\n\r\n") == std::string::npos) {
                const ssize_t got = recv(fd, buffer, sizeof buffer, 0);
                if (got <= 0) {
                    break;
                }
                request.append(buffer, static_cast<std::size_t>(got));
            }
            const std::string header =
                "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(kBodySize) + "\r\n\r\n";
            bool ok = send(fd, header.data(), header.size(), MSG_NOSIGNAL) > 0;
            for (std::uint64_t left = kBodySize; ok && left > 0;) {
                const std::size_t piece =
                    static_cast<std::size_t>(std::min<std::uint64_t>(left, pattern_.size()));
                const ssize_t sent = send(fd, pattern_.data(), piece, MSG_NOSIGNAL);
                ok = sent > 0;
                left -= ok ? static_cast<std::uint64_t>(sent) : 0;
            }
            close(fd);
        }
    }

    std::vector<char> pattern_;
    int listenFd_ = -1;
    std::uint16_t port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

double Seconds(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double MegabytesPerSecond(double seconds) {
    return static_cast<double>(kBodySize) / 1e6 / seconds;
}

struct ClientRun {
    double seconds = 0;
    std::uint64_t peakGrowth = 0;
    bool complete = false;
};

ClientRun RunClient(const std::string& url, std::string& body) {
    body.clear();
    ResetPeak();
    const std::uint64_t before = ResidentBytes();
    ClientRun run;
    kv::agent::THttpCli client;
    client.SetURL(url);
    client.SetReplyBody(&body);
    const auto start = std::chrono::steady_clock::now();
    client.SyncGet();
    run.seconds = Seconds(start);
    run.peakGrowth = PeakResidentBytes() - before;
    run.complete = body.size() == kBodySize && body[12345] == static_cast<char>('a' + 12345 % 23);
    return run;
}

// curl into /dev/shm; -1 when it could not run.
double RunCurl(const std::string& url) {
    const std::string file = "/dev/shm/kv-bench-http-" + std::to_string(getpid()) + ".bin";
    std::vector<std::string> args = {"curl", "-s", "-o", file, url};
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    int status = 0;
    if (posix_spawnp(&pid, "curl", nullptr, nullptr, argv.data(), environ) != 0 ||
        waitpid(pid, &status, 0) != pid) {
        return -1;
    }
    const double seconds = Seconds(start);
    std::ifstream written(file, std::ios::binary | std::ios::ate);
    const bool complete = WIFEXITED(status) && WEXITSTATUS(status) == 0 &&
                          static_cast<std::uint64_t>(written.tellg()) == kBodySize;
    unlink(file.c_str());
    return complete ? seconds : -1;
}

}  // namespace

int main() {
    BodyServer server;
    std::printf("HTTP download of %llu bytes with Content-Length over loopback\n",
                static_cast<unsigned long long>(kBodySize));
    std::printf(
        "every round: THttpCli into fresh memory, into the buffer of the round before,\n"
        "curl into /dev/shm; the first round is the first download of this process\n");
    std::vector<double> freshRatios;
    std::uint64_t peak = 0;
    std::string reused;
    for (int round = 1; round <= kRounds; ++round) {
        std::string fresh;
        const ClientRun first = RunClient(server.Url(), fresh);
        fresh = std::string();
        const double curl = RunCurl(server.Url());
        const ClientRun again = RunClient(server.Url(), reused);
        std::printf(
            "round %d: THttpCli fresh %7.1f MB/s%s, reused %7.1f MB/s%s; curl %7.1f MB/s%s;"
            " fresh/curl %.2f\n",
            round, MegabytesPerSecond(first.seconds), first.complete ? "" : " (incomplete!)",
            MegabytesPerSecond(again.seconds), again.complete ? "" : " (incomplete!)",
            curl > 0 ? MegabytesPerSecond(curl) : 0.0, curl > 0 ? "" : " (failed)",
            curl > 0 ? curl / first.seconds : 0.0);
        if (curl > 0) {
            freshRatios.push_back(curl / first.seconds);
        }
        peak = std::max(peak, first.peakGrowth);
    }
    if (!freshRatios.empty()) {
        const double firstRatio = freshRatios.front();
        std::sort(freshRatios.begin(), freshRatios.end());
        std::printf(
            "THttpCli fresh / curl: first round %.2f, worst %.2f, median %.2f (goal: the"
            " first at least 1.00)\n",
            firstRatio, freshRatios.front(), freshRatios[freshRatios.size() / 2]);
    }
    std::printf(
        "client peak memory growth into a fresh buffer %.1f MiB = %.3f x body (goal below 1.2)\n",
        static_cast<double>(peak) / (1 << 20), static_cast<double>(peak) / kBodySize);
    return 0;
}

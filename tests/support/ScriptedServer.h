#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <netinet/in.h>

namespace kv::test {

// A scriptable, possibly misbehaving HTTP server on 127.0.0.1 for tests. It listens on a
// free port and serves one connection at a time in its own thread. For every request it
// reads the header up to the empty line and as many body bytes as Content-Length names,
// records the exact bytes, then plays the next reply of its script. When the script is used
// up, connections are closed without an answer. The destructor stops and joins the thread
// at once, also while a reply waits or hangs.
//
//   ScriptedServer server({{"HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok"}});
//   client.SetURL(server.Url("/GetTree.cgi"));
//   ... server.Requests()[0].bytes == "GET /GetTree.cgi HTTP/1.0\r\n..."
class ScriptedServer {
public:
    enum class After {
        Close,     // close the connection (the client sees the end of the stream)
        KeepOpen,  // serve the next request on the same connection, or a new one
        Reset,     // abort the connection (the client sees "Connection reset by peer")
        Hang,      // keep the connection open and silent until the client closes it or the
                   // server is destroyed
    };

    struct Reply {
        std::string bytes;  // sent as they stand, possibly a partial or empty reply
        After after = After::Close;
        int delayMs = 0;  // pause between reading the request and sending the bytes
    };

    struct Request {
        std::string bytes;
        int connection = 0;  // 0 for the first accepted connection, 1 for the next, ...
    };

    explicit ScriptedServer(std::vector<Reply> script);
    // On a loopback address of the test's choice (127.0.0.0/8) and, unless 0, a given port:
    // a fleet of servers on one port.
    ScriptedServer(std::vector<Reply> script, const std::string& address, std::uint16_t port);
    ~ScriptedServer();
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    std::uint16_t Port() const { return port_; }
    // "http://" + address + ":" + port + path
    std::string Url(const std::string& path) const;
    // Requests completely read so far, in order. A copy, taken under the server's lock: keep
    // it in a variable (`const auto requests = server.Requests();`) before taking references
    // into it; a reference bound to `server.Requests()[0].bytes` dangles at once.
    std::vector<Request> Requests() const;
    // Connections accepted so far.
    int Connections() const { return connections_; }

private:
    void Listen(sockaddr_in address);
    void Serve();
    bool ReadRequest(int fd, std::string& request);
    bool SendAll(int fd, const std::string& bytes);
    // Waits until fd is ready for `events` or the server stops; false when stopping.
    bool WaitReady(int fd, short events);
    // Sleeps; false when the server stops meanwhile.
    bool Pause(int ms);
    // The next connection to serve: the kept one if a request arrives on it first, else a
    // newly accepted one. -1 when stopping.
    int NextConnection(int kept);

    std::vector<Reply> script_;
    std::string address_ = "127.0.0.1";
    int listenFd_ = -1;
    int stopPipe_[2] = {-1, -1};
    std::uint16_t port_ = 0;
    std::atomic<int> connections_{0};
    mutable std::mutex mutex_;
    std::vector<Request> requests_;
    std::thread thread_;
};

}  // namespace kv::test

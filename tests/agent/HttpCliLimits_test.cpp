#include <string>
#include <vector>

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "agent/HttpCli.h"
#include "agent/HttpException.h"
#include "support/ScriptedServer.h"

using namespace kv::agent;

namespace kv {
namespace {

using test::ScriptedServer;

const std::string kAuthorization = "Authorization: Basic ";
const std::string kChallenge =
    "HTTP/1.0 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"x\"\r\nContent-Length: 0\r\n\r\n";
const std::string kOk = "HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok";

std::string Moved(const std::string& location) {
    return "HTTP/1.0 302 Found\r\nLocation: " + location + "\r\nContent-Length: 0\r\n\r\n";
}

bool SentCredentials(const ScriptedServer& server) {
    for (const auto& request : server.Requests()) {
        if (request.bytes.find(kAuthorization) != std::string::npos) {
            return true;
        }
    }
    return false;
}

// A relocation to another host or port never carries the credentials there, neither as an
// answer to its own challenge nor as ones already accepted by the first server.
TEST(HttpCliLimits, CredentialsGoOnlyToTheFirstServer) {
    struct Case {
        const char* name;
        bool challengeFirst;    // the first server asks for credentials before it relocates
        bool relativeLocation;  // the relocation stays on the first server
        int status;
        bool secondGetsCredentials;
    };
    const Case cases[] = {
        {"elsewhere, challenged there", false, false, 401, false},
        {"elsewhere after credentials were accepted", true, false, 401, false},
        {"same server, challenged again", false, true, 200, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedServer other({{kChallenge}, {kOk}});
        std::vector<ScriptedServer::Reply> script;
        if (c.challengeFirst) {
            script.push_back({kChallenge});
        }
        script.push_back({Moved(c.relativeLocation ? "/Next.cgi" : other.Url("/Next.cgi"))});
        script.push_back({kChallenge});
        script.push_back({kOk});
        ScriptedServer first(script);
        THttpCli client;
        std::string body;
        client.SetReplyBody(&body);
        client.SetURL(first.Url("/GetTree.cgi"));
        client.SyncGet();
        EXPECT_EQ(client.ReplyStatus(), c.status);
        EXPECT_FALSE(SentCredentials(other));
        EXPECT_EQ(SentCredentials(first), c.challengeFirst || c.secondGetsCredentials);
    }
}

TEST(HttpCliLimits, ReplyGrowingPastTheLimitFailsClearly) {
    for (const std::string& reply :
         {"HTTP/1.0 200 OK\r\nContent-Length: 5000\r\n\r\n" + std::string(5000, 'a'),
          "HTTP/1.0 200 OK\r\n\r\n" + std::string(5000, 'a'), "HTTP/1.0 200 OK\r\n" + [&] {
              std::string lines;
              for (int i = 0; i < 20; ++i) {
                  lines += "X-Filler: " + std::string(400, 'y') + "\r\n";
              }
              return lines;
          }()}) {
        ScriptedServer server({{reply}});
        THttpCli client;
        client.SetMaxReplySize(4096);
        std::string body;
        client.SetReplyBody(&body);
        client.SetURL(server.Url("/GetFileView.cgi?/big"));
        try {
            client.SyncGet();
            ADD_FAILURE() << "no failure for " << reply.substr(0, 40);
        } catch (const EHttpException& error) {
            EXPECT_EQ(std::string(error.what()), "Reply too large: more than 4096 bytes");
        }
        EXPECT_LE(body.size(), 4096u + 256 * 1024);
        EXPECT_EQ(client.State(), HttpState::Ready);
    }
}

// A listener whose queue is full takes no further connection: the connect hangs.
TEST(HttpCliLimits, ConnectTimeoutIsItsOwnAndNamedSo) {
    const int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(listener, 0), 0);
    ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
    std::vector<int> fillers;
    for (int i = 0; i < 2; ++i) {
        fillers.push_back(socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
        connect(fillers.back(), reinterpret_cast<sockaddr*>(&address), sizeof address);
    }
    usleep(50000);

    THttpCli client;
    client.SetConnectTimeout(std::chrono::milliseconds(300));
    client.SetIdleTimeout(std::chrono::seconds(20));
    client.SetURL("http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/GetTree.cgi");
    try {
        client.SyncGet();
        ADD_FAILURE() << "connected";
    } catch (const EHttpException& error) {
        EXPECT_EQ(std::string(error.what()), "Connect timed out: no connection after 300 ms");
        EXPECT_EQ(client.FailedIn(), HttpState::NotConnected);
    }
    for (const int fd : fillers) {
        close(fd);
    }
    close(listener);
}

}  // namespace
}  // namespace kv

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "agent/HttpCli.h"
#include "agent/HttpException.h"
#include "support/ScriptedServer.h"

using namespace kv::agent;

namespace kv {
namespace {

using test::ScriptedServer;
using After = ScriptedServer::After;

const std::string kChallenge =
    "HTTP/1.0 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"a\"\r\n"
    "Content-Length: 6\r\n\r\ndenied";

// The sink gets the body of the reply that ends the request, as the body would have been
// collected, and nothing of the replies the client answers itself or fails for.
TEST(HttpCliSink, TakesOnlyTheFinalBody) {
    const std::string big(3 << 20, 'x');
    struct Case {
        const char* name;
        std::vector<ScriptedServer::Reply> script;
        std::string passed;  // what the sink is given
        int status;          // 0: the call fails
    };
    const std::vector<Case> cases = {
        {"length", {{"HTTP/1.0 200 OK\r\nContent-Length: 5\r\n\r\nhello"}}, "hello", 200},
        {"until close", {{"HTTP/1.0 200 OK\r\n\r\n" + big}}, big, 200},
        {"chunked",
         {{"HTTP/1.1 200 OK\r\nTransfer-Encoding: "
           "chunked\r\n\r\n3\r\nabc\r\n2\r\nde\r\n0\r\n\r\n"}},
         "abcde",
         200},
        {"challenge answered",
         {{kChallenge, After::KeepOpen}, {"HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok"}},
         "ok",
         200},
        {"credentials refused", {{kChallenge, After::KeepOpen}, {kChallenge}}, "denied", 401},
        {"relocation followed",
         {{"HTTP/1.0 302 Found\r\nLocation: /b\r\nContent-Length: 4\r\n\r\nmove", After::KeepOpen},
          {"HTTP/1.0 200 OK\r\nContent-Length: 3\r\n\r\nnew"}},
         "new",
         200},
        {"error status", {{"HTTP/1.0 404 Not Found\r\nContent-Length: 4\r\n\r\ngone"}}, "", 0},
    };
    for (const Case& c : cases) {
        ScriptedServer server(c.script);
        THttpCli cli;
        cli.SetURL(server.Url("/a"));
        std::string passed;
        std::uint64_t lastProgress = 0;
        cli.SetReplySink([&](std::string_view piece) { passed.append(piece); });
        cli.SetOnProgress([&](std::uint64_t received, std::int64_t) { lastProgress = received; });
        if (c.status == 0) {
            EXPECT_THROW(cli.SyncGet(), EHttpException) << c.name;
        } else {
            cli.SyncGet();
            EXPECT_EQ(cli.ReplyStatus(), c.status) << c.name;
            EXPECT_EQ(lastProgress, c.passed.size()) << c.name;
        }
        EXPECT_TRUE(passed == c.passed) << c.name << ": " << passed.size() << " bytes";
        EXPECT_EQ(cli.State(), HttpState::Ready) << c.name;
    }
}

TEST(HttpCliSink, ASinkThatFailsEndsTheRequestAndLeavesTheClientIdle) {
    ScriptedServer server({{"HTTP/1.0 200 OK\r\n\r\n" + std::string(1 << 20, 'x')},
                           {"HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok"}});
    THttpCli cli;
    cli.SetURL(server.Url("/a"));
    cli.SetReplySink([](std::string_view) { throw std::runtime_error("reader gone"); });
    EXPECT_THROW(cli.SyncGet(), std::runtime_error);
    EXPECT_EQ(cli.State(), HttpState::Ready);
    std::string body;
    cli.SetReplySink(nullptr);
    cli.SetReplyBody(&body);
    cli.SyncGet();
    EXPECT_EQ(body, "ok");
}

}  // namespace
}  // namespace kv

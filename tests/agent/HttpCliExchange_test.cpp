#include <string>

#include <gtest/gtest.h>

#include "agent/HttpCli.h"
#include "agent/HttpException.h"
#include "support/ScriptedServer.h"

using namespace kv::agent;

namespace kv {
namespace {

using test::ScriptedServer;
using After = ScriptedServer::After;

const std::string kAccept = "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*\r\n";
const std::string kAgent = "User-Agent: Mozilla/4.0 (compatible; Kestrelview Manager)\r\n";

std::string HostLine(const ScriptedServer& server) {
    return "Host: 127.0.0.1:" + std::to_string(server.Port()) + "\r\n";
}

std::string ExpectedGet(const ScriptedServer& server, const std::string& path) {
    return "GET " + path + " HTTP/1.0\r\n" + kAccept + kAgent + HostLine(server) + "\r\n";
}

struct Client {
    THttpCli cli;
    std::string body;

    explicit Client(const std::string& url) {
        cli.SetURL(url);
        cli.SetReplyBody(&body);
    }
};

TEST(HttpCliExchange, GetSendsTheExactRequestAndCollectsTheBody) {
    ScriptedServer server({{"HTTP/1.0 200 OK\r\nContent-Length: 5\r\n\r\n/\n a\n"}});
    Client c(server.Url("/GetTree.cgi"));
    c.cli.SyncGet();
    EXPECT_EQ(c.cli.ReplyStatus(), 200);
    EXPECT_EQ(c.cli.ReplyReason(), "OK");
    EXPECT_EQ(c.body, "/\n a\n");
    EXPECT_EQ(c.cli.State(), HttpState::Ready);
    EXPECT_FALSE(c.cli.Connected());
    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(server.Requests()[0].bytes, ExpectedGet(server, "/GetTree.cgi"));
}

TEST(HttpCliExchange, UrlBytesGoOutUnchanged) {
    const std::string path = "/GetFileView.cgi?/home/\x83\x65\x83\x58\x83\x67/a b.log";
    ScriptedServer server({{"HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n"}});
    Client c(server.Url(path));
    c.cli.SyncGet();
    EXPECT_EQ(server.Requests().at(0).bytes, ExpectedGet(server, path));
}

TEST(HttpCliExchange, PostSendsBodyFromItsPosition) {
    const std::string lines = "skip\r\nFILE,a\r\nMAIL,b\r\n";
    ScriptedServer server({{"HTTP/1.0 200 OK\r\n\r\n"}});
    Client c(server.Url("/PostWatchSetting.cgi"));
    c.cli.SetRequestBody(&lines, 6);
    c.cli.SyncPost();
    EXPECT_EQ(server.Requests().at(0).bytes,
              "POST /PostWatchSetting.cgi HTTP/1.0\r\n" + kAccept +
                  "Content-Type: application/x-www-form-urlencoded\r\n" + kAgent +
                  HostLine(server) + "Content-Length: 16\r\n\r\nFILE,a\r\nMAIL,b\r\n");
}

TEST(HttpCliExchange, PostOfABodyAtItsEndSendsLengthZero) {
    const std::string lines = "done";
    ScriptedServer server({{"HTTP/1.0 200 OK\r\n\r\n"}});
    Client c(server.Url("/PostWatchSetting.cgi"));
    c.cli.SetRequestBody(&lines, lines.size());
    c.cli.SyncPost();
    const std::string request = server.Requests().at(0).bytes;
    EXPECT_NE(request.find("\r\nContent-Length: 0\r\n\r\n"), std::string::npos);
    EXPECT_EQ(request.substr(request.size() - 4), "\r\n\r\n");
}

TEST(HttpCliExchange, PostOfALargeBodyArrivesWhole) {
    std::string big(300000, 'x');
    for (std::size_t i = 0; i < big.size(); i += 1000) {
        big[i] = static_cast<char>('a' + i / 1000 % 26);
    }
    ScriptedServer server({{"HTTP/1.0 200 OK\r\n\r\n"}});
    Client c(server.Url("/PostWatchSetting.cgi"));
    c.cli.SetRequestBody(&big);
    c.cli.SyncPost();
    const std::string request = server.Requests().at(0).bytes;
    EXPECT_EQ(request.substr(request.size() - big.size()), big);
}

TEST(HttpCliExchange, ReadsTheReplyShapesAgentsSend) {
    struct Case {
        const char* name;
        std::string reply;
        int status;
        std::string reason;
        std::string body;
    };
    const Case cases[] = {
        {"two spaces", "HTTP/1.0  200 OK\r\nContent-Length: 2\r\n\r\nok", 200, "OK", "ok"},
        {"no length", "HTTP/1.0 200 OK\r\n\r\nuntil the end\r\n", 200, "OK", "until the end\r\n"},
        {"chunked",
         "HTTP/1.1 200 OK\r\nTransfer-Encoding: "
         "chunked\r\n\r\n3;a=b\r\nabc\r\n2\r\nde\r\n0\r\n\r\n",
         200, "OK", "abcde"},
        {"html", "<HTML><BODY>Kestrelview</BODY></HTML>", 0, "",
         "<HTML><BODY>Kestrelview</BODY></HTML>"},
        {"bare line ends", "HTTP/1.0 200 Fine\nContent-Length: 3\n\nabc", 200, "Fine", "abc"},
        {"401 body", "HTTP/1.0 401 Unauthorized\r\nContent-Length: 4\r\n\r\nnope", 401,
         "Unauthorized", "nope"},
    };
    for (const Case& k : cases) {
        ScriptedServer server({{k.reply}});
        Client c(server.Url("/x"));
        c.cli.SyncGet();
        EXPECT_EQ(c.cli.ReplyStatus(), k.status) << k.name;
        EXPECT_EQ(c.cli.ReplyReason(), k.reason) << k.name;
        EXPECT_EQ(c.body, k.body) << k.name;
    }
}

TEST(HttpCliExchange, HtmlReplyIsMarkedAsHtml) {
    ScriptedServer server({{"<html>hi"}});
    Client c(server.Url("/x"));
    c.cli.SyncGet();
    EXPECT_EQ(c.cli.ContentType(), "text/html");
    EXPECT_EQ(c.cli.ContentLength(), -1);
}

TEST(HttpCliExchange, ErrorRepliesFailWithTheirStatusAndKeepTheirBody) {
    for (int status : {404, 500}) {
        const std::string reason = status == 404 ? "Not Found" : "Internal Server Error";
        ScriptedServer server({{"HTTP/1.0 " + std::to_string(status) + " " + reason +
                                "\r\nContent-Length: 3\r\n\r\nerr"}});
        Client c(server.Url("/x"));
        try {
            c.cli.SyncGet();
            ADD_FAILURE() << status;
        } catch (const EHttpException& e) {
            EXPECT_EQ(e.ErrorNumber(), status);
            EXPECT_EQ(e.what(), reason);
        }
        EXPECT_EQ(c.cli.ReplyStatus(), status);
        EXPECT_EQ(c.body, "err");
        EXPECT_EQ(c.cli.State(), HttpState::Ready);
    }
}

TEST(HttpCliExchange, KeepAliveConnectionIsReusedUntilClosed) {
    const std::string kept =
        "HTTP/1.0 200 OK\r\nConnection: keep-alive\r\nContent-Length: 3\r\n\r\n";
    ScriptedServer server({{kept + "one", After::KeepOpen}, {kept + "two", After::KeepOpen}});
    Client c(server.Url("/a"));
    c.cli.SyncGet();
    EXPECT_TRUE(c.cli.Connected());
    c.cli.SetURL(server.Url("/b"));
    c.cli.SyncGet();
    EXPECT_EQ(c.body, "onetwo");
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].connection, 0);
    EXPECT_EQ(requests[1].bytes, ExpectedGet(server, "/b"));

    c.cli.SyncClose();
    EXPECT_FALSE(c.cli.Connected());
    EXPECT_EQ(c.cli.ReplyStatus(), 200);
    EXPECT_EQ(c.cli.ReplyReason(), "OK");
}

TEST(HttpCliExchange, KeptConnectionClosedByTheServerIsReplacedSilently) {
    const std::string kept =
        "HTTP/1.0 200 OK\r\nConnection: keep-alive\r\nContent-Length: 3\r\n\r\n";
    ScriptedServer server({{kept + "one", After::Close}, {kept + "two", After::Close}});
    Client c(server.Url("/a"));
    c.cli.SyncGet();
    c.cli.SyncGet();
    EXPECT_EQ(c.body, "onetwo");
    EXPECT_EQ(server.Requests().at(1).connection, 1);
}

TEST(HttpCliExchange, StrayBytesAfterTheBodyEndTheConnection) {
    const std::string kept =
        "HTTP/1.0 200 OK\r\nConnection: keep-alive\r\nContent-Length: 3\r\n\r\n";
    ScriptedServer server({{kept + "oneJUNK", After::KeepOpen}, {kept + "two"}});
    Client c(server.Url("/a"));
    c.cli.SyncGet();
    EXPECT_EQ(c.body, "one");
    EXPECT_FALSE(c.cli.Connected());
    c.cli.SyncGet();
    EXPECT_EQ(c.body, "onetwo");
    EXPECT_EQ(server.Requests().at(1).connection, 1);
}

TEST(HttpCliExchange, Version11KeepsTheConnectionUnlessToldToClose) {
    ScriptedServer server({{"HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\na", After::KeepOpen},
                           {"HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: 1\r\n\r\nb"}});
    Client c(server.Url("/a"));
    c.cli.SetRequestVer("1.1");
    c.cli.SyncGet();
    EXPECT_TRUE(c.cli.Connected());
    c.cli.SyncGet();
    EXPECT_FALSE(c.cli.Connected());
    EXPECT_EQ(server.Requests().at(0).bytes.substr(0, 17), "GET /a HTTP/1.1\r\n");
    EXPECT_EQ(server.Requests().at(1).connection, 0);
}

TEST(HttpCliExchange, ReplyHeaderAndFieldsAreKeptUntilTheNextRequest) {
    ScriptedServer server(
        {{"HTTP/1.0 200 OK\r\nContent-Type: Text/Plain\r\nContent-Length: 2\r\n\r\nok"}});
    Client c(server.Url("/a"));
    c.cli.SyncGet();
    EXPECT_EQ(c.cli.ContentType(), "text/plain");
    EXPECT_EQ(c.cli.ContentLength(), 2);
    EXPECT_EQ(c.cli.ReplyHeader(),
              (std::vector<std::string>{"HTTP/1.0 200 OK", "Content-Type: Text/Plain",
                                        "Content-Length: 2"}));
}

}  // namespace
}  // namespace kv

#include <cerrno>
#include <chrono>
#include <string>
#include <thread>

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "agent/HttpCli.h"
#include "agent/HttpException.h"
#include "agent/Resolver.h"
#include "support/ClosedPort.h"
#include "support/HookWaiter.h"
#include "support/ScriptedServer.h"

using namespace kv::agent;

namespace kv {
namespace {

using test::ClosedPort;

using namespace std::chrono_literals;
using test::HookWaiter;
using test::ScriptedServer;
using After = ScriptedServer::After;

class LoopbackResolver : public Resolver {
public:
    int calls = 0;

protected:
    Result Resolve(const std::string& host) override {
        ++calls;
        Result result;
        result.found = host == "agent01.example";
        result.error = result.found ? 0 : -2;
        inet_pton(AF_INET, "127.0.0.1", &result.address);
        return result;
    }
};

struct Client {
    THttpCli cli;
    std::string body;
    int doneError = -1;

    explicit Client(const std::string& url) {
        cli.SetURL(url);
        cli.SetReplyBody(&body);
        cli.SetOnRequestDone([this](HttpRequest, int error) { doneError = error; });
    }

    // Runs a GET that must fail; returns the exception.
    EHttpException FailingGet() {
        try {
            cli.SyncGet();
        } catch (const EHttpException& e) {
            EXPECT_EQ(cli.State(), HttpState::Ready);
            EXPECT_FALSE(cli.Connected());
            EXPECT_EQ(cli.ReplyStatus(), e.ErrorNumber());
            EXPECT_EQ(cli.ReplyReason(), e.what());
            return e;
        }
        ADD_FAILURE() << "request did not fail";
        return EHttpException("", 0);
    }
};

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

TEST(HttpCliFailure, RefusedConnectionNamesTheSystemError) {
    ClosedPort closed;
    Client c(closed.Url("/GetTree.cgi"));
    const EHttpException e = c.FailingGet();
    EXPECT_EQ(e.ErrorNumber(), 404);
    EXPECT_TRUE(EndsWith(e.what(), "Connection refused (Error #111)")) << e.what();
    EXPECT_EQ(c.doneError, ECONNREFUSED);
}

TEST(HttpCliFailure, RelocationToAnUnreachableTargetFailsLikeAConnection) {
    ClosedPort closed;
    ScriptedServer server({{"HTTP/1.0 302 Found\r\nLocation: " + closed.Url("/x") + "\r\n\r\n"}});
    Client c(server.Url("/x"));
    const EHttpException e = c.FailingGet();
    EXPECT_EQ(e.ErrorNumber(), 404);
    EXPECT_TRUE(EndsWith(e.what(), "(Error #111)")) << e.what();
}

TEST(HttpCliFailure, DottedTextThatIsNoAddressFailsWithoutLookup) {
    LoopbackResolver resolver;
    Client c("http://999.999.999.999:4009/GetTree.cgi");
    c.cli.SetResolver(&resolver);
    const EHttpException e = c.FailingGet();
    EXPECT_EQ(e.ErrorNumber(), 404);
    EXPECT_STREQ(e.what(), "can't resolve hostname to IP address");
    EXPECT_EQ(resolver.calls, 0);
}

TEST(HttpCliFailure, NamesGoThroughTheResolver) {
    LoopbackResolver resolver;
    ScriptedServer server({{"HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok"}});
    const std::string port = std::to_string(server.Port());
    Client c("http://agent01.example:" + port + "/GetTree.cgi");
    c.cli.SetResolver(&resolver);
    c.cli.SyncGet();
    EXPECT_EQ(c.body, "ok");
    EXPECT_NE(server.Requests().at(0).bytes.find("\r\nHost: agent01.example:" + port + "\r\n"),
              std::string::npos);

    c.cli.SetURL("http://unknown.example:" + port + "/");
    EXPECT_STREQ(c.FailingGet().what(), "can't resolve hostname to IP address");
    EXPECT_EQ(c.doneError, -2);
}

TEST(HttpCliFailure, UrlWithLineBreakOrNulIsRefusedBeforeSending) {
    ScriptedServer server({{"HTTP/1.0 200 OK\r\n\r\n"}});
    const std::string base = server.Url("/GetFileView.cgi?/tmp/a");
    for (const std::string& url :
         {base + "\r\nX-Injected: 1", base + "\nb", base + std::string("\0b", 2),
          "http://127.0.0.1\r\n:" + std::to_string(server.Port()) + "/"}) {
        Client c(url);
        const EHttpException e = c.FailingGet();
        EXPECT_EQ(e.ErrorNumber(), 400);
        EXPECT_STREQ(e.what(), "URL holds a CR, LF or NUL byte; the request was not sent");
    }
    EXPECT_EQ(server.Connections(), 0);
}

TEST(HttpCliFailure, RelocationWithLineBreakIsRefusedBeforeSending) {
    ScriptedServer server(
        {{"HTTP/1.0 302 Found\r\nLocation: /a\rX: 1\r\n\r\n"}, {"HTTP/1.0 200 OK\r\n\r\n"}});
    Client c(server.Url("/x"));
    EXPECT_EQ(c.FailingGet().ErrorNumber(), 400);
    EXPECT_EQ(server.Requests().size(), 1u);
}

TEST(HttpCliFailure, OtherProtocolsAndBadPortsAreRefused) {
    Client ftp("ftp://127.0.0.1:21/file");
    const EHttpException e = ftp.FailingGet();
    EXPECT_EQ(e.ErrorNumber(), 501);
    EXPECT_STREQ(e.what(), "Protocol \"ftp\" not implemented");

    for (const char* url :
         {"http://127.0.0.1:99999/", "http://127.0.0.1:40a9/", "http://127.0.0.1:0/"}) {
        Client bad(url);
        const EHttpException p = bad.FailingGet();
        EXPECT_EQ(p.ErrorNumber(), 404);
        EXPECT_STREQ(p.what(), "can't connect: Invalid argument (Error #22)");
    }
}

TEST(HttpCliFailure, CloseBeforeTheReplyEndsIsACommunicationFailure) {
    struct Case {
        std::string reply;
        std::string reason;
        std::string body;
    };
    const Case cases[] = {
        {"", "Connection closed by the server before any reply byte", ""},
        {"HTTP/1.0 200 OK\r\nContent-",
         "Connection closed by the server in the middle of the reply header", ""},
        {"HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\npartial",
         "Connection closed by the server after 7 of 100 body bytes", "partial"},
        {"HTTP/1.0 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n10\r\nshort",
         "Connection closed by the server in the middle of a chunked body", "short"},
        {"HTTP/1.0 OK\r\n\r\n", "Reply status line holds no three-digit status code", ""},
        {"HTTP/1.0 200 OK\r\nX: " + std::string(9000, 'x') + "\r\n\r\n",
         "Reply line longer than the 8193-byte buffer", ""},
    };
    for (const Case& k : cases) {
        ScriptedServer server({{k.reply}});
        Client c(server.Url("/x"));
        const EHttpException e = c.FailingGet();
        EXPECT_EQ(e.ErrorNumber(), 404) << k.reason;
        EXPECT_EQ(e.what(), k.reason);
        EXPECT_EQ(c.body, k.body) << k.reason;
    }
}

TEST(HttpCliFailure, ResetConnectionNamesTheSystemError) {
    ScriptedServer server({{"", After::Reset}});
    Client c(server.Url("/x"));
    const EHttpException e = c.FailingGet();
    EXPECT_EQ(e.ErrorNumber(), 404);
    EXPECT_STREQ(e.what(), "Connection reset by peer (Error #104)");
    EXPECT_EQ(c.doneError, ECONNRESET);
}

TEST(HttpCliFailure, ServerThatNeverAnswersTimesOut) {
    for (const std::string& sent : {std::string(), std::string("HTTP/1.0 200 OK\r\n\r\nno end")}) {
        ScriptedServer server({{sent, After::Hang}});
        Client c(server.Url("/x"));
        c.cli.SetIdleTimeout(1s);
        const EHttpException e = c.FailingGet();
        EXPECT_EQ(e.ErrorNumber(), 404);
        EXPECT_STREQ(e.what(), "Request timed out: nothing sent or received for 1000 ms");
        EXPECT_EQ(c.doneError, ETIMEDOUT);
        EXPECT_EQ(c.body, sent.empty() ? "" : "no end");
    }
}

TEST(HttpCliFailure, SecondRequestDuringAWaitIsRefusedAsBusy) {
    ScriptedServer server({{"HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok", After::Close, 100}});
    HookWaiter waiter;
    waiter.endsThatWait = true;
    Client c(server.Url("/x"));
    c.cli.SetWaiter(&waiter);
    std::string refusal;
    int refusalNumber = 0;
    waiter.hook = [&] {
        try {
            c.cli.SyncGet();
        } catch (const EHttpException& e) {
            refusal = e.what();
            refusalNumber = e.ErrorNumber();
        }
    };
    c.cli.SyncGet();
    EXPECT_EQ(refusal, "HTTP component HTTPWatchCli is busy");
    EXPECT_EQ(refusalNumber, 1);
    EXPECT_EQ(c.body, "ok");
    EXPECT_EQ(c.cli.ReplyStatus(), 200);
}

TEST(HttpCliFailure, AbortEndsTheRequestAndLeavesTheClientReady) {
    ScriptedServer server({{"", After::Hang}, {"HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok"}});
    HookWaiter waiter;
    waiter.endsThatWait = true;
    Client c(server.Url("/x"));
    c.cli.SetWaiter(&waiter);
    waiter.hook = [&] { c.cli.Abort(); };
    const EHttpException e = c.FailingGet();
    EXPECT_EQ(e.ErrorNumber(), 404);
    EXPECT_STREQ(e.what(), "Connection aborted on request");
    EXPECT_EQ(c.doneError, 3);

    c.cli.SyncGet();
    EXPECT_EQ(c.body, "ok");
}

TEST(HttpCliFailure, AbortFromAnotherThreadAndCloseDuringARequest) {
    ScriptedServer server({{"", After::Hang}, {"", After::Hang}});
    Client c(server.Url("/x"));
    std::thread aborter([&] {
        std::this_thread::sleep_for(100ms);
        c.cli.Abort();
    });
    EXPECT_STREQ(c.FailingGet().what(), "Connection aborted on request");
    aborter.join();

    HookWaiter waiter;
    waiter.endsThatWait = true;
    c.cli.SetWaiter(&waiter);
    waiter.hook = [&] { c.cli.SyncClose(); };
    EXPECT_STREQ(c.FailingGet().what(), "Connection aborted on request");
}

TEST(HttpCliFailure, RefusalsBeforeARequestStarts) {
    THttpCli cli;
    try {
        cli.SyncPost();
        FAIL();
    } catch (const EHttpException& e) {
        EXPECT_STREQ(e.what(), "HTTP component has nothing to post or put");
        EXPECT_EQ(e.ErrorNumber(), 2);
    }
    try {
        cli.SetRequestVer("2.0");
        FAIL();
    } catch (const EHttpException& e) {
        EXPECT_STREQ(e.what(), "Insupported HTTP version");
        EXPECT_EQ(e.ErrorNumber(), 5);
    }
    EXPECT_EQ(cli.RequestVer(), "1.0");
}

TEST(HttpCliFailure, ReasonOfTheLastReplyStaysUntilReplaced) {
    ScriptedServer server({{"HTTP/1.0 201 Created\r\n\r\n"}, {"<html>"}});
    Client c(server.Url("/x"));
    c.cli.SyncGet();
    c.cli.SyncGet();
    EXPECT_EQ(c.cli.ReplyStatus(), 0);
    EXPECT_EQ(c.cli.ReplyReason(), "Created");
}

}  // namespace
}  // namespace kv

#include "agent/HttpReplyParser.h"

#include <string>

#include <gtest/gtest.h>

using namespace kv::agent;

namespace kv {
namespace {

using Phase = HttpReplyParser::Phase;
using Ending = HttpReplyParser::Ending;

struct Parsed {
    HttpReplyParser parser;
    std::string body;
    std::size_t used = 0;  // bytes the parser took

    const HttpReplyParser::Reply& reply() const { return parser.Result(); }
};

// Feeds the bytes in pieces of `piece` bytes (splitting lines, CR LF pairs and chunk sizes
// everywhere), then the close of the connection when `close`.
void Parse(Parsed& out, std::string_view bytes, std::size_t piece, bool close,
           bool request10 = true) {
    out.parser.Start(request10, &out.body);
    for (std::size_t at = 0; at < bytes.size(); at += piece) {
        const std::string_view part = bytes.substr(at, piece);
        out.used += out.parser.Feed(part);
        if (out.parser.CurrentPhase() == Phase::Done ||
            out.parser.CurrentPhase() == Phase::Failed) {
            break;
        }
    }
    if (close) {
        out.parser.FeedClose();
    }
}

constexpr std::size_t kPieces[] = {1, 2, 3, 7, 1 << 20};

TEST(HttpReplyParser, ReadsStatusHeaderAndLengthBodyInAnySplit) {
    const std::string reply =
        "HTTP/1.0 200 OK\r\nContent-Type: Text/Plain\r\nContent-Length: 5\r\n\r\nhello";
    for (std::size_t piece : kPieces) {
        Parsed p;
        Parse(p, reply + "EXTRA", piece, false);
        ASSERT_EQ(p.parser.CurrentPhase(), Phase::Done) << piece;
        EXPECT_EQ(p.parser.HowEnded(), Ending::AtLength);
        EXPECT_EQ(p.reply().status, 200);
        EXPECT_EQ(p.reply().reason, "OK");
        EXPECT_EQ(p.reply().version, "1.0");
        EXPECT_EQ(p.reply().contentType, "text/plain");
        EXPECT_EQ(p.reply().contentLength, 5);
        EXPECT_TRUE(p.reply().closeAfterReply);
        EXPECT_EQ(p.body, "hello");
        // Bytes after the body are left to the caller, never written.
        EXPECT_EQ(p.used, reply.size());
        EXPECT_EQ(p.reply().lines,
                  (std::vector<std::string>{"HTTP/1.0 200 OK", "Content-Type: Text/Plain",
                                            "Content-Length: 5"}));
    }
}

TEST(HttpReplyParser, FindsTheCodeFromTheTenthCharacter) {
    struct Case {
        const char* line;
        int status;
        const char* reason;
    };
    for (const Case& c :
         {Case{"HTTP/1.0  200 OK", 200, "OK"}, Case{"HTTP/1.1 404 Not Found", 404, "Not Found"},
          Case{"HTTP/1.0 401", 401, ""}, Case{"HTTP/1.0 500 ", 500, ""},
          Case{"HTTP/1.0\t302 Moved", 302, "Moved"}}) {
        Parsed p;
        Parse(p, std::string(c.line) + "\r\n\r\n", 1, false);
        EXPECT_EQ(p.reply().status, c.status) << c.line;
        EXPECT_EQ(p.reply().reason, c.reason) << c.line;
    }
}

TEST(HttpReplyParser, RefusesStatusLineWithoutThreeDigitCode) {
    for (const char* line :
         {"HTTP/1.0 20", "HTTP/1.0 OK", "HTTP/1.0 2x0 OK", "HTTP/1.1", "HTTP/1.0 "}) {
        Parsed p;
        Parse(p, std::string(line) + "\r\nContent-Length: 0\r\n\r\n", 3, false);
        EXPECT_EQ(p.parser.CurrentPhase(), Phase::Failed) << line;
        EXPECT_EQ(p.parser.FailReason(), "Reply status line holds no three-digit status code");
    }
}

TEST(HttpReplyParser, OtherFirstLineLeavesStatusZero) {
    Parsed p;
    Parse(p, "HTTP/2 200 OK\r\nContent-Length: 2\r\n\r\nok", 1, false);
    EXPECT_EQ(p.parser.CurrentPhase(), Phase::Done);
    EXPECT_FALSE(p.reply().hasStatusLine);
    EXPECT_EQ(p.reply().status, 0);
    EXPECT_EQ(p.body, "ok");
}

TEST(HttpReplyParser, HtmlFirstLineIsBodyEvenWithoutLineEnd) {
    for (const std::string reply :
         {"<html><body>x</body></html>", "<HTML>\r\n<p>x</p>\r\n", "<Html>"}) {
        for (std::size_t piece : kPieces) {
            Parsed p;
            Parse(p, reply, piece, true);
            ASSERT_EQ(p.parser.CurrentPhase(), Phase::Done) << reply << piece;
            EXPECT_EQ(p.parser.HowEnded(), Ending::AtClose);
            EXPECT_EQ(p.body, reply);
            EXPECT_EQ(p.reply().status, 0);
            EXPECT_EQ(p.reply().contentType, "text/html");
        }
    }
    Parsed shortLine;
    Parse(shortLine, "<HTM", 1, true);
    EXPECT_EQ(shortLine.parser.CurrentPhase(), Phase::Failed);
}

TEST(HttpReplyParser, ActsOnHeaderNamesWithoutRegardToCase) {
    Parsed p;
    Parse(p,
          "HTTP/1.0 401 Unauthorized\r\n"
          "WWW-AUTHENTICATE:   NTLM\r\n"
          "no colon here\r\n"
          "www-authenticate: Basic realm=\"Kestrelview\"\r\n"
          "Proxy-Authenticate: Basic realm=\"proxy\"\r\n"
          "TRANSFER-encoding: Identity \r\n"
          "Content-Encoding: GZip\r\n"
          "LOCATION: /x y\r\n"
          "Connection: Keep-Alive \r\n"
          "Content-Length: 0\r\n"
          "\r\n",
          5, false);
    ASSERT_EQ(p.parser.CurrentPhase(), Phase::Done);
    EXPECT_EQ(p.reply().challenges, (std::vector<std::string>{"NTLM", "Basic realm=\"Kestrelview\"",
                                                              "Basic realm=\"proxy\""}));
    EXPECT_EQ(p.reply().transferEncoding, "identity ");
    EXPECT_EQ(p.reply().contentEncoding, "GZip");
    EXPECT_TRUE(p.reply().hasLocation);
    EXPECT_EQ(p.reply().location, "/x y");
    EXPECT_FALSE(p.reply().closeAfterReply);
}

TEST(HttpReplyParser, ConnectionLinesSetAndClearTheCloseFlag) {
    Parsed kept;
    Parse(kept, "HTTP/1.1 204 No Content\r\n\r\n", 1, false, false);
    EXPECT_FALSE(kept.reply().closeAfterReply);
    Parsed closed;
    Parse(closed, "HTTP/1.1 204 No Content\r\nConnection: close\r\n\r\n", 1, false, false);
    EXPECT_TRUE(closed.reply().closeAfterReply);
    Parsed reopened;
    Parse(reopened, "HTTP/1.0 204 x\r\nProxy-Connection: close\r\nConnection: keep-alive\r\n\r\n",
          1, false);
    EXPECT_FALSE(reopened.reply().closeAfterReply);
}

TEST(HttpReplyParser, ContentLengthThatIsNoNumberIsAbsent) {
    for (const char* value : {"abc", "-5", "12x", "", "99999999999999999999"}) {
        Parsed p;
        Parse(p, std::string("HTTP/1.0 200 OK\r\nContent-Length: ") + value + "\r\n\r\nbody", 4,
              true);
        EXPECT_EQ(p.reply().contentLength, -1) << value;
        EXPECT_EQ(p.parser.HowEnded(), Ending::AtClose) << value;
        EXPECT_EQ(p.body, "body") << value;
    }
}

TEST(HttpReplyParser, DecidesWhichRepliesHaveNoBody) {
    struct Case {
        const char* head;
        bool body;
    };
    for (const Case& c :
         {Case{"HTTP/1.0 204 x", false}, Case{"HTTP/1.0 301 x", false},
          Case{"HTTP/1.0 302 x", false}, Case{"HTTP/1.0 304 x", false},
          Case{"HTTP/1.0 401 x", false}, Case{"HTTP/1.0 407 x", false},
          Case{"HTTP/1.0 199 x", false}, Case{"HTTP/1.0 200 x", true}, Case{"HTTP/1.0 303 x", true},
          Case{"HTTP/1.0 404 x", true}, Case{"HTTP/1.0 401 x\r\nContent-Length: 3", true},
          Case{"HTTP/1.0 200 x\r\nContent-Length: 0", false}}) {
        Parsed p;
        Parse(p, std::string(c.head) + "\r\n\r\nabc", 1, true);
        ASSERT_EQ(p.parser.CurrentPhase(), Phase::Done) << c.head;
        EXPECT_EQ(p.body, c.body ? "abc" : "") << c.head;
        EXPECT_EQ(p.parser.HowEnded() == Ending::WithoutBody, !c.body) << c.head;
    }
}

TEST(HttpReplyParser, DropsInterimContinueOfVersion11Only) {
    Parsed p;
    Parse(p, "HTTP/1.1 100 Continue\r\nX: y\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok",
          1, false);
    EXPECT_EQ(p.reply().status, 200);
    EXPECT_EQ(p.reply().lines, (std::vector<std::string>{"HTTP/1.1 200 OK", "Content-Length: 2"}));
    EXPECT_EQ(p.body, "ok");
    Parsed old;
    Parse(old, "HTTP/1.0 100 Continue\r\n\r\nHTTP/1.0 200 OK\r\n\r\n", 1, false);
    EXPECT_EQ(old.reply().status, 100);
    EXPECT_EQ(old.parser.HowEnded(), Ending::WithoutBody);
}

TEST(HttpReplyParser, ReadsChunkedBodyWithExtensions) {
    const std::string reply =
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: Chunked\r\n\r\n"
        "5;name=value\r\nhello\r\n"
        "A \r\n world 123\r\n"
        "1\nx\n"
        "0;last\r\n\r\n";
    for (std::size_t piece : kPieces) {
        Parsed p;
        Parse(p, reply, piece, false);
        ASSERT_EQ(p.parser.CurrentPhase(), Phase::Done) << piece;
        EXPECT_EQ(p.parser.HowEnded(), Ending::AtLastChunk);
        EXPECT_EQ(p.body, "hello world 123x");
        EXPECT_EQ(p.parser.BodyBytes(), 16u);
    }
}

TEST(HttpReplyParser, RefusesMalformedChunks) {
    const std::string head = "HTTP/1.0 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
    struct Case {
        const char* chunks;
        const char* reason;
    };
    for (const Case& c : {Case{"xyz\r\n", "Chunk line holds no hexadecimal size"},
                          Case{";ext\r\n", "Chunk line holds no hexadecimal size"},
                          Case{"3\r\nabcX\r\n", "Chunk data not followed by a line end"},
                          Case{"11111111111111111\r\n", "Chunk size too large"}}) {
        Parsed p;
        Parse(p, head + c.chunks, 1, false);
        EXPECT_EQ(p.parser.CurrentPhase(), Phase::Failed) << c.chunks;
        EXPECT_EQ(p.parser.FailReason(), c.reason);
    }
}

TEST(HttpReplyParser, CloseBeforeTheReplyEndsIsAFailure) {
    struct Case {
        std::string bytes;
        const char* reason;
    };
    for (const Case& c :
         {Case{"", "Connection closed by the server before any reply byte"},
          Case{"HTTP/1.0 200 OK\r\nContent-Le",
               "Connection closed by the server in the middle of the reply header"},
          Case{"HTTP/1.0 200 OK",
               "Connection closed by the server in the middle of the reply header"},
          Case{"garbage\r\n", "Connection closed by the server in the middle of the reply header"},
          Case{"HTTP/1.0 200 OK\r\nContent-Length: 10\r\n\r\nabc",
               "Connection closed by the server after 3 of 10 body bytes"},
          Case{"HTTP/1.0 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nab",
               "Connection closed by the server in the middle of a chunked body"},
          Case{"HTTP/1.0 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nab\r\n",
               "Connection closed by the server in the middle of a chunked body"}}) {
        Parsed p;
        Parse(p, c.bytes, 2, true);
        EXPECT_EQ(p.parser.CurrentPhase(), Phase::Failed) << c.bytes;
        EXPECT_EQ(p.parser.FailReason(), c.reason);
    }
}

TEST(HttpReplyParser, LinesMustFitTheBuffer) {
    const std::string fits(HttpReplyParser::kLineBufferSize - 2, 'v');  // + CR LF = 8193
    Parsed ok;
    Parse(ok, "HTTP/1.0 200 OK\r\nX-Long: " + fits.substr(8) + "\r\nContent-Length: 0\r\n\r\n",
          1000, false);
    EXPECT_EQ(ok.parser.CurrentPhase(), Phase::Done);

    Parsed tooLong;
    Parse(tooLong, "HTTP/1.0 200 OK\r\nX-Long: " + fits.substr(7) + "\r\n\r\n", 1000, false);
    EXPECT_EQ(tooLong.parser.CurrentPhase(), Phase::Failed);
    EXPECT_EQ(tooLong.parser.FailReason(), "Reply line longer than the 8193-byte buffer");

    // An endless line fails as soon as it has passed the buffer, not at its end.
    Parsed endless;
    endless.parser.Start(true, &endless.body);
    endless.parser.Feed("HTTP/1.0 200 OK\r\n");
    endless.parser.Feed(std::string(10000, 'x'));
    EXPECT_EQ(endless.parser.CurrentPhase(), Phase::Failed);
}

TEST(HttpReplyParser, RefusesAnEndlessHeader) {
    Parsed p;
    p.parser.Start(true, &p.body);
    p.parser.Feed("HTTP/1.0 200 OK\r\n");
    const std::string line = "WWW-Authenticate: Basic " + std::string(1000, 'r') + "\r\n";
    for (int i = 0; i < 2000 && p.parser.CurrentPhase() == Phase::Header; ++i) {
        p.parser.Feed(line);
    }
    EXPECT_EQ(p.parser.CurrentPhase(), Phase::Failed);
    EXPECT_LT(p.reply().challenges.size(), 1100u);
}

TEST(HttpReplyParser, AppendsToTheBufferAndRemembersWhereTheBodyBegan) {
    Parsed p;
    p.body = "earlier";
    Parse(p, "HTTP/1.0 200 OK\r\n\r\nnew", 2, true);
    EXPECT_EQ(p.body, "earliernew");
    EXPECT_EQ(p.parser.BodyStart(), 7u);
    EXPECT_EQ(p.parser.BodyBytes(), 3u);
}

TEST(HttpReplyParser, ReservesFromTheLengthButNotFarAheadOfArrivals) {
    Parsed honest;
    honest.parser.Start(true, &honest.body);
    honest.parser.Feed("HTTP/1.0 200 OK\r\nContent-Length: 100000\r\n\r\nab");
    EXPECT_GE(honest.body.capacity(), 100000u);

    Parsed lying;
    lying.parser.Start(true, &lying.body);
    lying.parser.Feed("HTTP/1.0 200 OK\r\nContent-Length: 999999999999999\r\n\r\nab");
    EXPECT_LE(lying.body.capacity(), HttpReplyParser::kMaxReserveAhead + 64);
    lying.parser.FeedClose();
    EXPECT_EQ(lying.parser.CurrentPhase(), Phase::Failed);
    EXPECT_EQ(lying.body, "ab");
}

TEST(HttpReplyParser, WithoutBufferTheBodyIsCountedButDropped) {
    HttpReplyParser parser;
    parser.Start(true, nullptr);
    parser.Feed("HTTP/1.0 200 OK\r\nContent-Length: 4\r\n\r\nabcd");
    EXPECT_EQ(parser.CurrentPhase(), Phase::Done);
    EXPECT_EQ(parser.BodyBytes(), 4u);
}

}  // namespace
}  // namespace kv

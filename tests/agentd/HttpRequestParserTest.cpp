#include <string>

#include <gtest/gtest.h>

#include "agentd/HttpRequest.h"

using namespace kv::agentd;

namespace kv {
namespace {

using State = HttpRequestParser::State;

TEST(HttpRequestParser, TargetKeepsSpacesAndShiftJisBytesOfTheManagersPaths) {
    // The Manager puts the remote path after "?" unescaped: spaces and Shift_JIS included.
    const std::string target = "/GetFileView.cgi?/var/my logs/\x93\xfa\x96\x7b.log";
    HttpRequestParser parser;
    ASSERT_EQ(parser.Feed("GET " + target + " HTTP/1.0\r\nAccept: */*\r\n\r\n"), State::Complete);
    EXPECT_EQ(parser.Request().method, "GET");
    EXPECT_EQ(parser.Request().target, target);
    EXPECT_EQ(parser.Request().Path(), "/GetFileView.cgi");
    EXPECT_EQ(parser.Request().Query(), "/var/my logs/\x93\xfa\x96\x7b.log");
}

TEST(HttpRequestParser, QueryRunsFromTheFirstQuestionMark) {
    HttpRequestParser parser;
    parser.Feed("GET /GetFileView.cgi?/a?b HTTP/1.0\r\n\r\n");
    EXPECT_EQ(parser.Request().Query(), "/a?b");
    HttpRequestParser bare;
    bare.Feed("GET /GetFileView.cgi HTTP/1.0\r\n\r\n");
    EXPECT_FALSE(bare.Request().HasQuery());
}

TEST(HttpRequestParser, ReadsARequestFedByteByByteWithBareLineFeeds) {
    const std::string request =
        "\r\nPOST /PostWatchSetting.cgi HTTP/1.0\ncontent-length: 5\nX-Empty:\n\nab\r\ncEXTRA";
    HttpRequestParser parser;
    State state = State::NeedMore;
    for (char c : request) {
        state = parser.Feed(std::string(1, c));
    }
    ASSERT_EQ(state, State::Complete);
    EXPECT_EQ(parser.Request().body, "ab\r\nc");
    ASSERT_NE(parser.Request().Header("Content-Length"), nullptr);
    EXPECT_EQ(*parser.Request().Header("X-EMPTY"), "");
}

TEST(HttpRequestParser, WaitsForTheWholeBody) {
    HttpRequestParser parser;
    EXPECT_EQ(parser.Feed("POST /x HTTP/1.0\r\nContent-Length: 4\r\n\r\nab"), State::NeedMore);
    EXPECT_EQ(parser.Feed("cd"), State::Complete);
    EXPECT_EQ(parser.Request().body, "abcd");
}

struct Refusal {
    const char* request;
    int status;
};

class HttpRequestRefusal : public testing::TestWithParam<Refusal> {};

TEST_P(HttpRequestRefusal, AnswersWithTheMatchingStatus) {
    HttpLimits limits;
    limits.maxHeaderBytes = 256;
    limits.maxBodyBytes = 100;
    HttpRequestParser parser(limits);
    EXPECT_EQ(parser.Feed(GetParam().request), State::Failed);
    EXPECT_EQ(parser.ErrorStatus(), GetParam().status);
    // Nothing more is taken after a failure.
    EXPECT_EQ(parser.Feed("GET / HTTP/1.0\r\n\r\n"), State::Failed);
}

INSTANTIATE_TEST_SUITE_P(
    BadRequests, HttpRequestRefusal,
    testing::Values(
        Refusal{"GARBAGE\r\n\r\n", 400}, Refusal{"GET /x\r\n\r\n", 400},
        Refusal{"get /x HTTP/1.0\r\n\r\n", 400}, Refusal{"GET x HTTP/1.0\r\n\r\n", 400},
        Refusal{"GET /x FTP/1.0\r\n\r\n", 400}, Refusal{"GET /a\tb HTTP/1.0\r\n\r\n", 400},
        Refusal{"GET /x HTTP/2.0\r\n\r\n", 505},
        Refusal{"GET /x HTTP/1.0\r\nNo colon here\r\n\r\n", 400},
        Refusal{"GET /x HTTP/1.0\r\n folded: value\r\n\r\n", 400},
        Refusal{"POST /x HTTP/1.0\r\n\r\n", 411},
        Refusal{"POST /x HTTP/1.0\r\nContent-Length: -1\r\n\r\n", 400},
        Refusal{"POST /x HTTP/1.0\r\nContent-Length: 1\r\nContent-Length: 2\r\n\r\n", 400},
        Refusal{"POST /x HTTP/1.0\r\nContent-Length: 101\r\n\r\n", 413},
        Refusal{"POST /x HTTP/1.0\r\nContent-Length: 99999999999999999999999\r\n\r\n", 413},
        Refusal{"POST /x HTTP/1.0\r\nTransfer-Encoding: chunked\r\n\r\n", 501}));

TEST(HttpRequestParser, HeaderBeyondTheLimitFailsEvenWithoutALineEnd) {
    HttpLimits limits;
    limits.maxHeaderBytes = 64;
    HttpRequestParser parser(limits);
    EXPECT_EQ(parser.Feed("GET /" + std::string(55, 'a')), State::NeedMore);
    EXPECT_EQ(parser.Feed(std::string(10, 'a')), State::Failed);
    EXPECT_EQ(parser.ErrorStatus(), 431);
}

}  // namespace
}  // namespace kv

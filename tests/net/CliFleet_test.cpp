#include <chrono>
#include <csignal>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "cli/ProcessRun.h"
#include "support/ChildProcess.h"
#include "support/ScriptedServer.h"
#include "support/TempDir.h"
#include "text/Cp932.h"
#include "text/JapaneseConversion.h"

using namespace kv::text;

namespace kv {
namespace {

using test::RunCtl;
using test::ScriptedServer;
using Reply = ScriptedServer::Reply;

std::string Setting(const std::string& name, const std::string& count = "2") {
    return "\"/var/log/app.log\",\"" + Sjis("エラー") + "\",\"" + count +
           "\",\"ops@x\",\"run.sh\"\r\n\"" + Sjis("障害") +
           "\",\"l1\tl2\",\"smtp.x\",\"from@x\",\"" + name + "\"\r\n\"/log/20260301.log\"\r\n";
}

Reply Answer(const std::string& body) {
    return {"HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" +
            body};
}

const Reply kChallenge{
    "HTTP/1.0 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"x\"\r\nContent-Length: "
    "0\r\n\r\n"};

// Scripted servers on 127.0.0.2, 127.0.0.3, ... sharing one port; an address given no
// script has no server, so it refuses.
class Fleet {
public:
    explicit Fleet(const std::vector<std::optional<std::vector<Reply>>>& scripts) {
        for (std::size_t i = 0; i < scripts.size(); ++i) {
            const std::string address = Address(i);
            servers_.push_back(scripts[i]
                                   ? std::make_unique<ScriptedServer>(*scripts[i], address, port_)
                                   : nullptr);
            if (servers_.back() && port_ == 0) {
                port_ = servers_.back()->Port();
            }
        }
        std::string csv =
            "\"ServerName\",\"IPAddress\"\r\n\"DefaultSetting\",\"DefaultSetting\"\r\n";
        for (std::size_t i = 0; i < scripts.size(); ++i) {
            csv += "\"" + Sjis("機") + std::to_string(i) + "\",\"" + Address(i) + "\"\r\n";
        }
        data.Write("Server.csv", csv);
    }

    static std::string Address(std::size_t i) { return "127.0.0." + std::to_string(i + 2); }
    ScriptedServer* Server(std::size_t i) { return servers_.at(i).get(); }
    std::vector<std::string> Arguments(std::vector<std::string> command) const {
        command.insert(command.begin(),
                       {"--data-dir", data.Path(), "--port", std::to_string(port_)});
        return command;
    }
    test::ProcessResult Run(std::vector<std::string> command) const {
        return RunCtl(Arguments(std::move(command)));
    }

    test::TempDir data;
    test::TempDir work;

private:
    std::uint16_t port_ = 0;
    std::vector<std::unique_ptr<ScriptedServer>> servers_;
};

// The report's lines without the time column, which varies.
std::vector<std::string> WithoutTimes(const std::string& out) {
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at < out.size()) {
        const std::size_t end = out.find('\n', at);
        std::string line = out.substr(at, end - at);
        std::size_t third = line.find('\t');
        for (int column = 0; column < 2 && third != std::string::npos; ++column) {
            third = line.find('\t', third + 1);
        }
        if (third != std::string::npos) {
            line.erase(third, line.find('\t', third + 1) - third);
        }
        lines.push_back(line);
        at = end + 1;
    }
    return lines;
}

TEST(CliFleet, CheckReportsEveryKindOfFailureOncePerServer) {
    Fleet fleet({
        std::vector<Reply>{Answer(Setting("a")), Answer(Setting("a"))},
        std::nullopt,
        std::vector<Reply>{{"", ScriptedServer::After::Hang}},
        std::vector<Reply>{kChallenge, kChallenge},
        std::vector<Reply>{{"HTTP/1.0 500 Broken\r\nContent-Length: 0\r\n\r\n"}},
        std::vector<Reply>{{"HTTP/1.0 200 OK\r\nContent-Len"}},
    });
    const auto result = fleet.Run({"--timeout", "1", "check", "--jobs", "3"});
    EXPECT_EQ(result.status, 1) << result.err;
    EXPECT_EQ(result.err, "");
    const std::string m = "機";
    EXPECT_EQ(WithoutTimes(result.out),
              (std::vector<std::string>{
                  "127.0.0.2\t" + m + "0\tok",
                  "127.0.0.3\t" + m + "1\tfailed\trefused",
                  "127.0.0.4\t" + m + "2\tfailed\ttimed out waiting",
                  "127.0.0.5\t" + m + "3\tfailed\t401 after credentials",
                  "127.0.0.6\t" + m + "4\tfailed\tHTTP 500 Broken",
                  "127.0.0.7\t" + m +
                      "5\tfailed\tbroken reply: Connection closed by the server in "
                      "the middle of the reply header",
                  "1 done, 5 failed",
              }))
        << result.out;
    // One connection per server (the challenged one answers on a second, as one request).
    for (const std::size_t i : {0, 2, 4, 5}) {
        EXPECT_EQ(fleet.Server(i)->Connections(), 1) << i;
    }
    EXPECT_EQ(fleet.Server(3)->Requests().size(), 2u);

    const auto json = fleet.Run({"--timeout", "1", "check", "127.0.0.2", "127.0.0.3", "--json"});
    EXPECT_EQ(json.status, 1);
    EXPECT_NE(json.out.find("{\"address\":\"127.0.0.3\",\"name\":\"" + m +
                            "1\",\"status\":\"failed\",\"result\":\"failed\",\"seconds\":"),
              std::string::npos)
        << json.out;
    EXPECT_TRUE(json.out.ends_with("\n{\"done\":1,\"failed\":1,\"skipped\":0,\"not_started\":0}\n"))
        << json.out;
}

TEST(CliFleet, FetchEditDiffAndPushAll) {
    const std::string posted = "POST /PostWatchSetting.cgi HTTP/1.0\r\n";
    Fleet fleet({
        std::vector<Reply>{Answer(Setting("a")),
                           Answer(Setting("a")),
                           Answer(Setting("a")),
                           {"HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n"}},
        std::vector<Reply>{Answer(Setting("b")), Answer(Setting("b"))},
        std::nullopt,
    });
    const std::string dir = fleet.work.Path();
    const auto fetched = fleet.Run({"fetch-all", dir, "--jobs", "2"});
    EXPECT_EQ(fetched.status, 1);
    EXPECT_EQ(fleet.work.Read("127.0.0.2.txt"), Setting("a"));
    EXPECT_EQ(fleet.work.Read("127.0.0.3.txt"), Setting("b"));
    EXPECT_TRUE(fetched.out.ends_with("2 done, 1 failed\n")) << fetched.out;

    // The first server's file gets another count; the second's stays.
    fleet.work.Write("127.0.0.2.txt", Setting("a", "5"));
    const auto diff = fleet.Run({"diff", dir});
    EXPECT_EQ(diff.status, 1);
    EXPECT_NE(diff.out.find("  row 1 SearchCount: \"2\" -> \"5\"\n"), std::string::npos)
        << diff.out;
    EXPECT_NE(diff.out.find("127.0.0.3\t機1\tsame\t"), std::string::npos) << diff.out;
    EXPECT_NE(diff.out.find("127.0.0.4\t機2\tskipped\t"), std::string::npos) << diff.out;

    // Without a terminal and without --yes nothing is sent; a file the text cannot carry
    // stops the whole push.
    EXPECT_EQ(fleet.Run({"push-all", dir}).status, 2);
    fleet.work.Write("127.0.0.3.txt",
                     "\"/a\",\"broken\r\nvalue\",\"1\",\"\",\"\"\r\n" + Setting("b"));
    const auto refused = fleet.Run({"push-all", dir, "--yes"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("127.0.0.3.txt: line 1"), std::string::npos) << refused.err;
    // A dry run shows the differences and the unfit file, and only fetches.
    const auto dry = fleet.Run({"push-all", dir, "--dry-run"});
    EXPECT_EQ(dry.status, 1);
    EXPECT_NE(dry.out.find("  row 1 SearchCount: \"2\" -> \"5\"\n"), std::string::npos) << dry.out;
    EXPECT_NE(dry.out.find("127.0.0.3.txt: line 1"), std::string::npos) << dry.out;
    EXPECT_EQ(fleet.Server(0)->Requests().size(), 3u);
    EXPECT_EQ(fleet.Server(1)->Requests().size(), 2u);

    std::remove(fleet.work.File("127.0.0.3.txt").c_str());
    const auto pushed = fleet.Run({"push-all", dir, "--yes"});
    EXPECT_EQ(pushed.status, 0) << pushed.out << pushed.err;
    EXPECT_TRUE(pushed.out.ends_with("1 done, 0 failed, 2 skipped\n")) << pushed.out;
    const auto requests = fleet.Server(0)->Requests();
    ASSERT_EQ(requests.size(), 4u);
    const std::string body = requests[3].bytes.substr(requests[3].bytes.find("\r\n\r\n") + 4);
    EXPECT_TRUE(requests[3].bytes.starts_with(posted));
    // The log line left out, the entry's own name in the mail line, subject in EUC-JP.
    EXPECT_EQ(body, "\"/var/log/app.log\",\"" + Sjis("エラー") +
                        "\",\"5\",\"ops@x\",\"run.sh\"\r\n\"" + SjisToEuc(Sjis("障害")) +
                        "\",\"l1\tl2\",\"smtp.x\",\"from@x\",\"" + Sjis("機") + "0\"\r\n");
}

// Ctrl+C while the first of three servers is at work (one job at a time): an upload is let
// finish, a fetch is abandoned; the two others are never contacted.
TEST(CliFleet, InterruptStartsNoFurtherRequestAndCutsNoUploadInHalf) {
    struct Case {
        std::vector<std::string> command;
        Reply reply;
        std::string first;
        std::string summary;
    };
    const Reply slow{"HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n", ScriptedServer::After::Close,
                     1500};
    const std::vector<Case> cases{
        {{"push-all", "--yes"},
         slow,
         "127.0.0.2\t機0\tuploaded\t",
         "1 done, 0 failed, 2 not started\n"},
        {{"fetch-all"},
         {"", ScriptedServer::After::Hang},
         "127.0.0.2\t機0\tfailed\t",
         "0 done, 1 failed, 2 not started\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command[0]);
        Fleet fleet({std::vector<Reply>{c.reply}, std::vector<Reply>{c.reply},
                     std::vector<Reply>{c.reply}});
        for (std::size_t i = 0; i < 3; ++i) {
            fleet.work.Write(Fleet::Address(i) + ".txt", Setting("x"));
        }
        std::vector<std::string> command{c.command[0], fleet.work.Path(), "--jobs", "1"};
        command.insert(command.end(), c.command.begin() + 1, c.command.end());
        std::vector<std::string> argv{test::BinDir() + "/kestrelviewctl"};
        for (const std::string& argument : fleet.Arguments(command)) {
            argv.push_back(argument);
        }
        test::ChildProcess ctl(argv);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (fleet.Server(0)->Requests().empty() && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ASSERT_EQ(kill(ctl.Pid(), SIGINT), 0);
        EXPECT_EQ(ctl.Wait(std::chrono::seconds(20)), 1);
        EXPECT_NE(ctl.Output().find(c.first), std::string::npos) << ctl.Output();
        EXPECT_NE(ctl.Output().find(c.summary), std::string::npos) << ctl.Output();
        EXPECT_EQ(fleet.Server(0)->Requests().size(), 1u);
        EXPECT_EQ(fleet.Server(1)->Connections(), 0);
        EXPECT_EQ(fleet.Server(2)->Connections(), 0);
    }
}

}  // namespace
}  // namespace kv

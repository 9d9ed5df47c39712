#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "RunningAgent.h"
#include "cli/ProcessRun.h"
#include "store/FileLock.h"
#include "support/ChildProcess.h"
#include "support/ScriptedServer.h"
#include "support/TempDir.h"
#include "text/Cp932.h"

using namespace kv::text;

namespace kv {
namespace {

using test::RunCtl;
using test::ScriptedServer;

const std::string kCommunicationFailed =
    "リモートサーバとの通信に失敗しました。\r\n"
    "リモートサーバでKestrelviewエージェントが起動しているか確認してください。\n";
const std::string kMissingLog = "ログファイルが存在しない可能性があります。\n";

const std::string kHeader =
    "\"ServerName\",\"IPAddress\"\r\n\"DefaultSetting\",\"DefaultSetting\"\r\n";

std::string Record(const std::string& name, const std::string& address) {
    return "\"" + name + "\",\"" + address + "\"\r\n";
}

std::string Reply200(const std::string& body) {
    return "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

class CliServersTest : public ::testing::Test {
protected:
    test::ProcessResult Run(const std::string& port, std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), {"--data-dir", data.Path(), "--port", port});
        return RunCtl(std::move(arguments));
    }

    test::TempDir data;
    test::TempDir work;
};

TEST_F(CliServersTest, TreePrintsTheFetchedReplyAsTheSavedOne) {
    const std::string name = Sjis("資料");
    work.Write("tree.txt", "IsDir /\n\tIsDir etc\n\t\thosts\n\tIsDir " + name + "\n\t\tIsEnd " +
                               Sjis("一覧は省略") + "\n\tIsDir tmp\n");
    test::RunningAgent agent("t", {"--tree-file", work.File("tree.txt")});
    const auto fetched = Run(agent.PortText(), {"tree", "127.0.0.1"});
    EXPECT_EQ(fetched.status, 0) << fetched.err;
    EXPECT_EQ(fetched.out, "/\n/etc/\n/etc/hosts\n/資料/\n! /資料/一覧は省略\n/tmp/\n");
    const auto saved = Run(agent.PortText(), {"tree", "--input", work.File("tree.txt")});
    EXPECT_EQ(saved.out, fetched.out);

    const auto raw = RunCtl({"--raw", "--port", agent.PortText(), "tree", "127.0.0.1"});
    EXPECT_EQ(raw.status, 0) << raw.err;
    EXPECT_EQ(raw.out, "/\n/etc/\n/etc/hosts\n/" + name + "/\n! /" + name + "/" +
                           Sjis("一覧は省略") + "\n/tmp/\n");
}

TEST_F(CliServersTest, TreeOfTheAgentsOwnDirectoryAndFailures) {
    test::RunningAgent agent("t");
    const auto listing = Run(agent.PortText(), {"tree", "127.0.0.1"});
    EXPECT_EQ(listing.status, 0) << listing.err;
    EXPECT_TRUE(listing.out.starts_with("/\n")) << listing.out;
    EXPECT_NE(listing.out.find("\n/var/log/app.log\n"), std::string::npos) << listing.out;

    const auto absent = Run(agent.PortText(), {"tree", "127.0.0.2"});
    EXPECT_EQ(absent.status, 1);
    EXPECT_EQ(absent.out, "");
    EXPECT_EQ(absent.err, kCommunicationFailed);

    work.Write("bad.txt", "/\n\t\tdeep\n");
    test::RunningAgent bad("t", {"--tree-file", work.File("bad.txt")});
    const auto level = Run(bad.PortText(), {"tree", "127.0.0.1"});
    EXPECT_EQ(level.status, 1);
    EXPECT_EQ(level.out, "");
    EXPECT_NE(level.err.find("line 2"), std::string::npos) << level.err;
}

TEST_F(CliServersTest, ViewPrintsThePreparedText) {
    test::RunningAgent agent("v");
    const auto plain = Run(agent.PortText(), {"view", "127.0.0.1", "/var/log/app.log"});
    EXPECT_EQ(plain.status, 0) << plain.err;
    EXPECT_EQ(plain.out, "line one\r\nline two\r\n");

    // EUC-JP on the Agent's side, a NUL ending the text, no final line end.
    agent.Dir().Write("root/euc.txt", std::string("\xA4\xA2\xA4\xA4\r\n\xB4\xC1\0tail", 10));
    const auto utf8 = Run(agent.PortText(), {"view", "127.0.0.1", "/euc.txt"});
    EXPECT_EQ(utf8.status, 0) << utf8.err;
    EXPECT_EQ(utf8.out, "あい\r\n漢\r\n");
    const auto raw = RunCtl({"--raw", "--port", agent.PortText(), "view", "127.0.0.1", "/euc.txt"});
    EXPECT_EQ(raw.out, "\x82\xA0\x82\xA2\r\n\x8A\xBF\r\n");

    const auto missing = Run(agent.PortText(), {"view", "127.0.0.1", "/no/such/file"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "");
    EXPECT_EQ(missing.err, kCommunicationFailed);
}

// Output is written as it is converted: a reader that stops after the first line ends the
// command at once, with status 0 and nothing said, as cat does.
TEST_F(CliServersTest, StreamedOutputEndsQuietlyWhenTheReaderGoes) {
    test::RunningAgent agent("s");
    std::string big;
    for (int i = 0; big.size() < (48u << 20); ++i) {
        big += "\xA4\xA2 line " + std::to_string(i) + " \xB4\xC1\xBB\xFA\n";
    }
    agent.Dir().Write("root/big.txt", big);
    const std::string ctl = test::BinDir() + "/kestrelviewctl";
    const std::string view =
        " --data-dir " + data.Path() + " --port " + agent.PortText() + " view 127.0.0.1 /big.txt";
    struct Case {
        std::string pipeline;
        std::string input;
        std::string first;
    };
    const std::vector<Case> cases = {
        {ctl + view + " | head -n 1", "", "あ line 0 漢字\r\n"},
        {ctl + " --raw" + view + " | head -c 2", "", "\x82\xA0"},
        {ctl + " convert --to-sjis | head -c 2", big, "\x82\xA0"},
    };
    for (const Case& c : cases) {
        const auto result = test::RunProcess({"/bin/bash",
                                              {"-c", "set -o pipefail; " + c.pipeline},
                                              c.input,
                                              {},
                                              {},
                                              std::chrono::seconds(60)});
        EXPECT_EQ(result.status, 0) << c.pipeline << "\n" << result.err;
        EXPECT_EQ(result.out, c.first) << c.pipeline;
        EXPECT_EQ(result.err, "") << c.pipeline;
    }
}

TEST_F(CliServersTest, LogOfTodayAndTheDaysBefore) {
    test::RunningAgent agent("l", {"--demo"});
    const auto today = Run(agent.PortText(), {"log", "127.0.0.1"});
    EXPECT_EQ(today.status, 0) << today.err;
    EXPECT_NE(today.out.find("Kestrelviewエージェントを起動しました。"), std::string::npos)
        << today.out;
    EXPECT_TRUE(today.out.ends_with("\r\n"));
    // The Agent logs every request to today's log, so a later read has grown.
    EXPECT_TRUE(
        Run(agent.PortText(), {"log", "127.0.0.1", "--day", "0"}).out.starts_with(today.out));
    for (const char* day : {"1", "2", "3"}) {
        const auto before = Run(agent.PortText(), {"log", "--day", day, "127.0.0.1"});
        EXPECT_EQ(before.status, 0) << day << before.err;
        EXPECT_FALSE(before.out.empty()) << day;
        EXPECT_NE(before.out, today.out) << day;
    }
}

TEST_F(CliServersTest, LogThatIsNotThere) {
    test::RunningAgent agent("l");
    const auto result = Run(agent.PortText(), {"log", "127.0.0.1", "--day", "2"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, kMissingLog);

    // An Agent whose setting names no log.
    ScriptedServer server({{Reply200("\"\",\"\"\r\n\r\n")}});
    const auto noLog = Run(std::to_string(server.Port()), {"log", "127.0.0.1"});
    EXPECT_EQ(noLog.status, 1);
    EXPECT_EQ(noLog.err, kMissingLog);
}

TEST_F(CliServersTest, AddTestsTheAgentAndAppendsIt) {
    test::RunningAgent agent("追加機");
    data.Write("Server.csv", kHeader + Record("old", "127.10.0.1"));
    const auto first = Run(agent.PortText(), {"add", "127.0.0.1"});
    EXPECT_EQ(first.status, 0) << first.err;
    EXPECT_EQ(first.out, "2\t127.0.0.1\t追加機\n");
    // The same address again is a second entry.
    const auto second = Run(agent.PortText(), {"add", "127.000.0.01"});
    EXPECT_EQ(second.status, 0) << second.err;
    EXPECT_EQ(second.out, "3\t127.000.0.01\t追加機\n");
    EXPECT_EQ(data.Read("Server.csv"), kHeader + Record("old", "127.10.0.1") +
                                           Record(Sjis("追加機"), "127.0.0.1") +
                                           Record(Sjis("追加機"), "127.000.0.01"));
}

TEST_F(CliServersTest, AddRefusesBadAddressesWithoutAsking) {
    ScriptedServer server({});
    const std::string original = kHeader + Record("old", "127.10.0.1");
    data.Write("Server.csv", original);
    for (const char* address : {"127.0..1", "127.0.0.", ".0.0.1", "1.2.3", "1.2.3.4.5",
                                "1234.0.0.1", "a.b.c.d", "1_127.201.0.1", "1 .2.3.4", ""}) {
        const auto result = Run(std::to_string(server.Port()), {"add", address});
        EXPECT_EQ(result.status, 1) << address;
        EXPECT_EQ(result.err, "不正なIPアドレスです。\n") << address;
        EXPECT_EQ(data.Read("Server.csv"), original) << address;
    }
    EXPECT_EQ(server.Connections(), 0);
}

TEST_F(CliServersTest, AddOfAnAgentThatDoesNotAnswerBoth) {
    const std::string original = kHeader;
    data.Write("Server.csv", original);
    ScriptedServer elsewhere({});  // listens on 127.0.0.1 only
    const auto absent = Run(std::to_string(elsewhere.Port()), {"add", "127.0.0.2"});
    EXPECT_EQ(absent.status, 1);
    EXPECT_EQ(absent.err, "リモートサーバと通信できませんでした。\n");

    // The tree comes, the setting does not.
    ScriptedServer server(
        {{Reply200("/\n")}, {"HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\n\r\n"}});
    const auto half = Run(std::to_string(server.Port()), {"add", "127.0.0.1"});
    EXPECT_EQ(half.status, 1);
    EXPECT_EQ(half.err, "リモートサーバと通信できませんでした。\n");
    EXPECT_EQ(data.Read("Server.csv"), original);
}

TEST_F(CliServersTest, AddToAFullListIsRefused) {
    ScriptedServer server({});
    std::string full = kHeader;
    for (int i = 1; i < 256; ++i) {
        full += Record("s", "127.10." + std::to_string(i / 200) + "." + std::to_string(i % 200));
    }
    data.Write("Server.csv", full);
    const auto result = Run(std::to_string(server.Port()), {"add", "127.0.0.1"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "サーバ一覧が一杯のため、これ以上サーバを追加できません。\n");
    EXPECT_EQ(data.Read("Server.csv"), full);
    EXPECT_EQ(server.Connections(), 0);
}

TEST_F(CliServersTest, DiscoverListsNewAgentsAndSavesOnRequest) {
    test::RunningAgent agent("発見機");
    const std::string original = kHeader + Record("old", "127.10.0.1");
    data.Write("Server.csv", original);
    const auto listed = Run(agent.PortText(), {"discover", "--to", "127.0.0.1", "--wait", "1"});
    EXPECT_EQ(listed.status, 0) << listed.err;
    EXPECT_EQ(listed.out, "127.0.0.1\t発見機\n");
    EXPECT_EQ(data.Read("Server.csv"), original);

    const auto saved = Run(agent.PortText(), {"discover", "--to=127.0.0.1", "--wait=1", "--save"});
    EXPECT_EQ(saved.status, 0) << saved.err;
    EXPECT_EQ(saved.out, "127.0.0.1\t発見機\n");
    EXPECT_EQ(data.Read("Server.csv"), original + Record(Sjis("発見機"), "127.0.0.1"));

    // Now listed: nothing new.
    const auto again =
        Run(agent.PortText(), {"discover", "--to", "127.0.0.1", "--wait", "1", "--save"});
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(again.out, "");
    EXPECT_EQ(data.Read("Server.csv"), original + Record(Sjis("発見機"), "127.0.0.1"));
}

TEST_F(CliServersTest, DiscoverWithoutAnswers) {
    ScriptedServer silent({});  // a TCP port: nothing answers UDP there
    const auto result = Run(std::to_string(silent.Port()),
                            {"discover", "--to", "127.0.0.1", "--wait", "1", "--save"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "");
}

// A change of Server.csv waits for the lock that the window or another kestrelviewctl holds
// while it reads and writes the list, and then works on what that one wrote.
TEST_F(CliServersTest, RemoveWaitsForTheServerListLock) {
    data.Write("Server.csv", kHeader + Record("a", "127.0.0.2"));
    std::optional<store::FileLock> lock(std::in_place, data.File("Server.csv"));
    test::ChildProcess remove(
        {test::BinDir() + "/kestrelviewctl", "--data-dir", data.Path(), "remove", "127.0.0.3"});
    EXPECT_EQ(remove.Wait(std::chrono::milliseconds(300)), -1);
    data.Write("Server.csv", kHeader + Record("a", "127.0.0.2") + Record("b", "127.0.0.3"));
    lock.reset();
    EXPECT_EQ(remove.Wait(std::chrono::seconds(10)), 0) << remove.Output();
    EXPECT_EQ(data.Read("Server.csv"), kHeader + Record("a", "127.0.0.2"));
}

}  // namespace
}  // namespace kv

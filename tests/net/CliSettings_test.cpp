#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "RunningAgent.h"
#include "agent/AgentRequests.h"
#include "agent/HttpCli.h"
#include "cli/ProcessRun.h"
#include "settings/WatchSetting.h"
#include "support/ScriptedServer.h"
#include "support/TempDir.h"
#include "text/Cp932.h"
#include "text/JapaneseConversion.h"

using namespace kv::text;
using namespace kv::settings;
using namespace kv::agent;

namespace kv {
namespace {

using test::RunCtl;
using test::ScriptedServer;

const std::string kCommunicationFailed =
    "リモートサーバとの通信に失敗しました。\r\n"
    "リモートサーバでKestrelviewエージェントが起動しているか確認してください。\n";

std::string UploadFailed(const std::string& address) {
    return address +
           " サーバとの通信に失敗しました。\r\n"
           "リモートサーバでKestrelviewエージェントが起動しているか確認してください。\n";
}

std::string ServerCsv(const std::vector<std::pair<std::string, std::string>>& servers) {
    std::string text = "\"ServerName\",\"IPAddress\"\r\n\"DefaultSetting\",\"DefaultSetting\"\r\n";
    for (const auto& [name, address] : servers) {
        text += "\"" + name + "\",\"" + address + "\"\r\n";
    }
    return text;
}

// The body of the one request a scripted server received.
std::string PostedBody(const ScriptedServer& server) {
    const auto requests = server.Requests();
    EXPECT_EQ(requests.size(), 1u);
    if (requests.empty()) {
        return {};
    }
    const std::string& bytes = requests[0].bytes;
    EXPECT_TRUE(bytes.starts_with("POST /PostWatchSetting.cgi HTTP/1.0\r\n")) << bytes;
    return bytes.substr(bytes.find("\r\n\r\n") + 4);
}

const std::string kSubject = Sjis("障害");
const std::string kBody = Sjis("一行目") + "\t" + Sjis("二行目");

std::string SettingFile(const std::string& ownName) {
    return "\"/var/log/app.log\",\"" + Sjis("エラー") + "\",\"2\",\"ops@x\",\"run.sh\"\r\n\"" +
           kSubject + "\",\"" + kBody + "\",\"smtp.x\",\"from@x\",\"" + ownName +
           "\"\r\n\"/log/20260301.log\"\r\n";
}

std::string UploadOf(const std::string& name) {
    return "\"/var/log/app.log\",\"" + Sjis("エラー") + "\",\"2\",\"ops@x\",\"run.sh\"\r\n\"" +
           SjisToEuc(kSubject) + "\",\"" + SjisToEuc(kBody) + "\",\"smtp.x\",\"from@x\",\"" + name +
           "\"\r\n";
}

const std::string kOk = "HTTP/1.0 200 OK\r\nContent-Length: 4\r\n\r\nOK\r\n";

class CliSettingsTest : public ::testing::Test {
protected:
    test::ProcessResult Run(const std::string& port, std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), {"--data-dir", data.Path(), "--port", port});
        return RunCtl(std::move(arguments));
    }

    // The setting text the Agent sends, read through the request layer.
    static std::string AgentSetting(const test::RunningAgent& agent) {
        THttpCli client;
        AgentRequests requests(client);
        requests.ApplyConnection("root", "plumtree", agent.PortText());
        std::string text;
        EXPECT_TRUE(requests.FetchWatchSetting("127.0.0.1", text));
        return text;
    }

    test::TempDir data;
    test::TempDir work;
};

TEST_F(CliSettingsTest, GetSettingWritesTheReplyByteForByte) {
    test::RunningAgent agent("監視機");
    const auto result = Run(agent.PortText(), {"get-setting", "127.0.0.1"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out, AgentSetting(agent));
    // Raw even without --raw: the server name stays Shift_JIS.
    EXPECT_NE(result.out.find("\"" + Sjis("監視機") + "\""), std::string::npos);
}

TEST_F(CliSettingsTest, GetSettingFailures) {
    test::RunningAgent agent("a");
    const auto wrong = RunCtl({"--data-dir", data.Path(), "--port", agent.PortText(), "--password",
                               "wrong", "get-setting", "127.0.0.1"});
    EXPECT_EQ(wrong.status, 1);
    EXPECT_EQ(wrong.out, "");
    EXPECT_EQ(wrong.err, kCommunicationFailed);
    // Nothing listens on this loopback address.
    const auto absent = Run(agent.PortText(), {"get-setting", "127.0.0.2"});
    EXPECT_EQ(absent.status, 1);
    EXPECT_EQ(absent.err, kCommunicationFailed);
}

TEST_F(CliSettingsTest, PutSettingStoresTheFileOnTheAgent) {
    test::RunningAgent agent("a");
    work.Write("setting.txt", SettingFile("file's own"));
    const auto result =
        Run(agent.PortText(), {"put-setting", "127.0.0.1", work.File("setting.txt")});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "");
    const WatchSetting stored = ParseSettingText(AgentSetting(agent));
    ASSERT_EQ(stored.Rows.size(), 1u);
    EXPECT_EQ(stored.Rows[0],
              (WatchRow{"/var/log/app.log", Sjis("エラー"), "2", "ops@x", "run.sh"}));
    EXPECT_EQ(stored.Mail.MailSubject, kSubject);
    EXPECT_EQ(stored.Mail.MailBody, Sjis("一行目") + "\r\n" + Sjis("二行目"));
}

TEST_F(CliSettingsTest, PutSettingNamesTheServerAsServerCsvDoes) {
    const std::string listed = Sjis("一覧の名前");
    {
        ScriptedServer server({{kOk}});
        data.Write("Server.csv", ServerCsv({{listed, "127.0.0.1"}}));
        work.Write("setting.txt", SettingFile("own"));
        const auto result = Run(std::to_string(server.Port()),
                                {"put-setting", "127.0.0.1", work.File("setting.txt")});
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(PostedBody(server), UploadOf(listed));
    }
    {
        // Not listed: the file's own name.
        ScriptedServer server({{kOk}});
        data.Write("Server.csv", ServerCsv({{listed, "127.19.9.9"}}));
        const auto result = Run(std::to_string(server.Port()),
                                {"put-setting", "127.0.0.1", work.File("setting.txt")});
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(PostedBody(server), UploadOf("own"));
    }
}

TEST_F(CliSettingsTest, PutSettingFailures) {
    work.Write("setting.txt", SettingFile("own"));
    {
        // The Agent refuses the credentials: nothing was stored.
        ScriptedServer server({{"HTTP/1.0 401 Unauthorized\r\nWWW-Authenticate: Basic "
                                "realm=\"x\"\r\nContent-Length: 0\r\n\r\n"},
                               {"HTTP/1.0 401 Unauthorized\r\nWWW-Authenticate: Basic "
                                "realm=\"x\"\r\nContent-Length: 0\r\n\r\n"}});
        const auto result = Run(std::to_string(server.Port()),
                                {"put-setting", "127.0.0.1", work.File("setting.txt")});
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.err, UploadFailed("127.0.0.1"));
    }
    {
        ScriptedServer server({{"HTTP/1.0 500 Broken\r\nContent-Length: 0\r\n\r\n"}});
        const auto result = Run(std::to_string(server.Port()),
                                {"put-setting", "127.0.0.1", work.File("setting.txt")});
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.err, UploadFailed("127.0.0.1"));
    }
    {
        // A text without a mail line would wipe the Agent's setting: nothing is sent.
        ScriptedServer server({{kOk}});
        work.Write("log-only.txt", "\"/log/20260301.log\"\r\n");
        const auto result = Run(std::to_string(server.Port()),
                                {"put-setting", "127.0.0.1", work.File("log-only.txt")});
        EXPECT_EQ(result.status, 1);
        EXPECT_NE(result.err.find("log-only.txt"), std::string::npos) << result.err;
        EXPECT_EQ(server.Connections(), 0);
    }
    const auto missing = Run("4009", {"put-setting", "127.0.0.1", work.File("missing.txt")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("missing.txt"), std::string::npos);
}

TEST_F(CliSettingsTest, FetchAllWritesEveryAnsweringServerAndReportsTheOthers) {
    test::RunningAgent agent("全取得");
    data.Write(
        "Server.csv",
        ServerCsv(
            {{"a", "127.0.0.1"}, {"b", "127.0.0.2"}, {"c", "../../escape"}, {"d", "localhost"}}));
    const auto result = Run(agent.PortText(), {"fetch-all", work.Path()});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(work.Read("127.0.0.1.txt"), AgentSetting(agent));
    for (const std::string_view line :
         {"127.0.0.1\ta\tfetched\t", "127.0.0.2\tb\tfailed\t", "../../escape\tc\tfailed\t",
          "localhost\td\tfailed\t", "\n1 done, 3 failed\n"}) {
        EXPECT_NE(result.out.find(line), std::string::npos) << line << "\n" << result.out;
    }
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(work.Path())) {
        names.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(names, std::vector<std::string>{"127.0.0.1.txt"});
}

TEST_F(CliSettingsTest, FetchAllOfAnsweringServersSucceeds) {
    test::RunningAgent agent("x");
    data.Write("Server.csv", ServerCsv({{"a", "127.0.0.1"}, {"again", "127.000.0.1"}}));
    work.Write("127.0.0.1.txt", "old");
    const auto result = Run(agent.PortText(), {"fetch-all", work.Path()});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(work.Read("127.0.0.1.txt"), AgentSetting(agent));
    EXPECT_EQ(work.Read("127.000.0.1.txt"), AgentSetting(agent));
    const auto notDir = Run(agent.PortText(), {"fetch-all", work.File("127.0.0.1.txt")});
    EXPECT_EQ(notDir.status, 1);
}

TEST_F(CliSettingsTest, DistributePostsTheDefaultUnderEachServersName) {
    test::RunningAgent agent("a");
    const std::string rows =
        "\"FileName\",\"SearchString\",\"SearchCount\",\"MailAddress\",\"Command\"\r\n"
        "\"/var/log/default.log\",\"FATAL\",\"1\",\"\",\"\"\r\n";
    const std::string env =
        "\"MailSubject\",\"MailBody\",\"SMTPServer\",\"FromMailAddress\"\r\n\"" + kSubject +
        "\",\"l1\r\nl2\",\"smtp\",\"f@x\"\r\n";
    const std::string servers = ServerCsv({{Sjis("配布先"), "127.0.0.1"}, {"down", "127.0.0.2"}});
    data.Write("Kestrelview.cnf", rows);
    data.Write("env.csv", env);
    data.Write("Server.csv", servers);
    const auto result = Run(agent.PortText(), {"distribute", "--yes"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "");
    EXPECT_NE(result.out.find("127.0.0.2\tdown\tfailed\t"), std::string::npos) << result.out;
    const WatchSetting stored = ParseSettingText(AgentSetting(agent));
    EXPECT_EQ(stored.Rows, (std::vector<WatchRow>{{"/var/log/default.log", "FATAL", "1", "", ""}}));
    EXPECT_EQ(stored.Mail, (MailSetting{kSubject, "l1\r\nl2", "smtp", "f@x"}));
    // No rewrite of the local files.
    EXPECT_EQ(data.Read("Kestrelview.cnf"), rows);
    EXPECT_EQ(data.Read("env.csv"), env);
    EXPECT_EQ(data.Read("Server.csv"), servers);
}

TEST_F(CliSettingsTest, DistributeBodyCarriesTheEntrysName) {
    ScriptedServer server({{kOk}});
    data.Write("Server.csv", ServerCsv({{Sjis("名前"), "127.0.0.1"}}));
    const auto result = Run(std::to_string(server.Port()), {"distribute", "--yes"});
    EXPECT_EQ(result.status, 0) << result.err;
    // Without default files: no rows and an empty mail line, named for the entry.
    EXPECT_EQ(PostedBody(server), "\"\",\"\",\"\",\"\",\"" + Sjis("名前") + "\"\r\n");
}

TEST_F(CliSettingsTest, AnAgentThatNeverAnswersTimesOut) {
    ScriptedServer server({{"", ScriptedServer::After::Hang}});
    const auto result = RunCtl({"--data-dir", data.Path(), "--port", std::to_string(server.Port()),
                                "--timeout", "1", "get-setting", "127.0.0.1"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, kCommunicationFailed);
}

}  // namespace
}  // namespace kv

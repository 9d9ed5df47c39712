#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <poll.h>

#include "RunningAgent.h"
#include "agent/AddServerCheck.h"
#include "agent/AgentRequests.h"
#include "agent/Discovery.h"
#include "agent/HttpCli.h"
#include "agent/HttpException.h"
#include "settings/FetchAndSave.h"
#include "settings/WatchSetting.h"
#include "store/ServerList.h"
#include "support/TempDir.h"
#include "text/Cp932.h"
#include "text/JapaneseConversion.h"

using namespace kv::text;
using namespace kv::store;
using namespace kv::settings;
using namespace kv::agent;

namespace kv {
namespace {

const char* const kAgentName = "監視サーバ・ネット";

// One stand-in Agent for the whole suite: starting it is the slow part.
class AgentSuite : public ::testing::Test {
protected:
    static void SetUpTestSuite() { agent_ = new test::RunningAgent(kAgentName); }
    static void TearDownTestSuite() {
        delete agent_;
        agent_ = nullptr;
    }

    void SetUp() override {
        requests.ApplyConnection("root", "plumtree", agent_->PortText());
        servers.Load(dir.File("Server.csv"));
    }

    static test::RunningAgent* agent_;
    THttpCli client;
    AgentRequests requests{client};
    test::TempDir dir;
    ServerList servers;
};

test::RunningAgent* AgentSuite::agent_ = nullptr;

using RequestsAgainstAgent = AgentSuite;

TEST_F(RequestsAgainstAgent, TreeAndSettingOfARunningAgent) {
    std::string tree;
    ASSERT_TRUE(requests.FetchTree("127.0.0.1", tree));
    EXPECT_NE(tree.find("app.log"), std::string::npos) << tree;
    std::string setting;
    ASSERT_TRUE(requests.FetchWatchSetting("127.0.0.1", setting));
    const WatchSetting parsed = ParseSettingText(setting);
    EXPECT_EQ(parsed.ServerName, Sjis(kAgentName));
    ASSERT_TRUE(parsed.LogPath.has_value());
    // Today's log exists from the start and is written in EUC-JP.
    const std::string log = requests.FetchFileView("127.0.0.1", *parsed.LogPath);
    EXPECT_NE(log.find(SjisToEuc(Sjis("Kestrelviewエージェントを起動しました。"))),
              std::string::npos);
    EXPECT_EQ(client.ReplyBody(), nullptr);
}

TEST_F(RequestsAgainstAgent, FileViewOfAServedFileAndOfAMissingOne) {
    EXPECT_EQ(requests.FetchFileView("127.0.0.1", "/var/log/app.log"), "line one\nline two\n");
    EXPECT_THROW(requests.FetchFileView("127.0.0.1", "/var/log/none.log"), EHttpException);
    EXPECT_EQ(client.ReplyBody(), nullptr);
}

TEST_F(RequestsAgainstAgent, WrongPasswordFailsFetchesAndUploadButShowsTheFileViewBody) {
    requests.ApplyConnection("root", "wrong", agent_->PortText());
    std::string target = "kept";
    EXPECT_FALSE(requests.FetchTree("127.0.0.1", target));
    EXPECT_FALSE(requests.FetchWatchSetting("127.0.0.1", target));
    EXPECT_EQ(target, "kept");
    EXPECT_FALSE(requests.SendWatchSetting("127.0.0.1", {"\"a\",\"b\",\"c\",\"d\",\"n\""}));
    EXPECT_NO_THROW(requests.FetchFileView("127.0.0.1", "/var/log/app.log"));
    EXPECT_EQ(client.ReplyStatus(), 401);

    // The upload with the refused credentials stored nothing.
    requests.ApplyConnection("root", "plumtree", agent_->PortText());
    ASSERT_TRUE(requests.FetchWatchSetting("127.0.0.1", target));
    EXPECT_EQ(ParseSettingText(target).Mail.MailSubject, "");
}

TEST_F(RequestsAgainstAgent, UploadedSettingComesBackFromTheAgent) {
    const std::size_t index = *servers.AddDiscovered("127.0.0.1", Sjis(kAgentName));
    const std::vector<WatchRow> rows = {
        {"/var/log/app.log", "ERROR", "3", "ops@example.com", "/usr/bin/true"},
        {Sjis("/var/log/日本語.log"), Sjis("障害"), "1", "", ""}};
    const MailSetting mail{Sjis("障害通知"), Sjis("一行目\r\n二行目\r\n\\ServerName\\"),
                           "smtp.example.com", "kv@example.com"};
    servers.Entry(index).SettingText = BuildSettingText(rows, mail, "stale name");
    std::vector<FetchAndSave::Report> reports;
    FetchAndSave walk(servers, FetchAndSave::Requests::Over(requests),
                      [&](const FetchAndSave::Report& report) { reports.push_back(report); });
    ASSERT_EQ(walk.UploadWatchSetting(index), FetchAndSave::Outcome::Uploaded);

    ASSERT_TRUE(walk.FetchWatchSetting(index));
    const WatchSetting back = ParseSettingText(servers.Entry(index).SettingText);
    EXPECT_EQ(back.Rows, rows);
    EXPECT_EQ(back.Mail, mail);
    EXPECT_EQ(back.ServerName, Sjis(kAgentName));
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_TRUE(reports[0].Message.empty());
}

TEST_F(RequestsAgainstAgent, AddServerTakesBothRepliesOrNothing) {
    AddServerCheck check(requests, servers);
    const AddServerCheck::Result added = check.Try({"127", "0", "0", "1"});
    ASSERT_EQ(added.outcome, AddServerCheck::Outcome::Added);
    const TServerTree& entry = servers.Entry(*added.Index);
    EXPECT_NE(entry.TreeText.find("app.log"), std::string::npos);
    EXPECT_EQ(ParseSettingText(entry.SettingText).ServerName, Sjis(kAgentName));

    // Nothing listens on that port at 127.0.0.2.
    const AddServerCheck::Result refused = check.TryAddress("127.0.0.2");
    EXPECT_EQ(refused.outcome, AddServerCheck::Outcome::NoAnswer);
    EXPECT_EQ(refused.Message, AddServerCheck::NoAnswerMessage());
    EXPECT_EQ(servers.Count(), 2u);
}

TEST_F(RequestsAgainstAgent, DiscoveryByUnicastAddsTheAgentOnce) {
    Discovery discovery;
    std::vector<std::size_t> added;
    for (int round = 0; round < 2; ++round) {
        discovery.Start(agent_->PortText(), "127.0.0.1");
        // A second entry would come at once; the second round waits a little only.
        const int passes = round == 0 ? 40 : 8;
        for (int pass = 0; pass < passes && added.size() <= static_cast<std::size_t>(round);
             ++pass) {
            pollfd p{discovery.Handle(), POLLIN, 0};
            if (poll(&p, 1, 50) == 1) {
                const auto more = discovery.HandleAvailable(servers);
                added.insert(added.end(), more.begin(), more.end());
            }
        }
    }
    ASSERT_EQ(added, std::vector<std::size_t>{1});
    EXPECT_EQ(servers.Entry(1).IPAddress, "127.0.0.1");
    EXPECT_EQ(servers.Entry(1).ServerName, Sjis(kAgentName));
}

}  // namespace
}  // namespace kv

#include <chrono>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "RunningAgent.h"
#include "agent/AgentRequests.h"
#include "agent/HttpCli.h"
#include "settings/FetchAndSave.h"
#include "settings/WatchSetting.h"
#include "store/ServerList.h"
#include "support/ScriptedServer.h"
#include "support/TempDir.h"
#include "text/Cp932.h"

using namespace kv::text;
using namespace kv::store;
using namespace kv::settings;
using namespace kv::agent;

namespace kv {
namespace {

using Outcome = FetchAndSave::Outcome;
using test::ScriptedServer;
using After = ScriptedServer::After;

// A server list, the request layer and a walk that records its reports.
struct Fleet {
    test::TempDir dir;
    ServerList servers;
    THttpCli client;
    AgentRequests requests{client};
    std::vector<FetchAndSave::Report> reports;
    std::vector<std::string> savedDefaults;
    FetchAndSave walk{servers, FetchAndSave::Requests::Over(requests),
                      [this](const FetchAndSave::Report& report) { reports.push_back(report); }};

    Fleet(const std::string& port, const std::vector<std::string>& addresses) {
        requests.ApplyConnection("root", "plumtree", port);
        servers.Load(dir.File("Server.csv"));
        servers.Entry(0).SettingText =
            BuildSettingText({{"/var/log/default.log", "FATAL", "1", "", ""}}, {"s", "b", "h", "f"},
                             "DefaultSetting");
        for (const std::string& address : addresses) {
            servers.AddFetched(address, "", "");
        }
    }

    FetchAndSave::SaveDefault SaveDefault() {
        return [this](const std::string& text) { savedDefaults.push_back(text); };
    }

    std::vector<Outcome> Outcomes() const {
        std::vector<Outcome> outcomes;
        for (const auto& report : reports) {
            outcomes.push_back(report.outcome);
        }
        return outcomes;
    }
};

std::string Hex(std::size_t value) {
    char text[20];
    std::snprintf(text, sizeof text, "%zx", value);
    return text;
}

FetchAndSave::LoadedFlag All() {
    return [](std::size_t) { return true; };
}

TEST(WalksAgainstAgent, FetchAllThenSaveAllWithOneUnreachableServer) {
    test::RunningAgent agent("walks");
    // 127.0.0.2 has no Agent on that port.
    Fleet fleet(agent.PortText(), {"127.0.0.1", "127.0.0.2"});
    fleet.walk.FetchAll();
    EXPECT_EQ(fleet.Outcomes(), (std::vector<Outcome>{Outcome::Fetched, Outcome::FetchFailed}));
    EXPECT_EQ(fleet.reports[1].Message, FetchAndSave::FetchAllFailedMessage("127.0.0.2"));
    EXPECT_EQ(ParseSettingText(fleet.servers.Entry(1).SettingText).ServerName, "walks");
    fleet.servers.Entry(1).ServerName = "walks";

    fleet.reports.clear();
    fleet.walk.SaveAll(All(), fleet.SaveDefault());
    EXPECT_EQ(fleet.savedDefaults.size(), 1u);
    EXPECT_EQ(fleet.Outcomes(), (std::vector<Outcome>{Outcome::Uploaded, Outcome::NotFetched}));
}

TEST(WalksAgainstAgent, DistributionReachesTheAgent) {
    test::RunningAgent agent("distributed");
    Fleet fleet(agent.PortText(), {"127.0.0.1"});
    fleet.servers.Entry(1).ServerName = "distributed";
    fleet.walk.Distribute(All(), fleet.SaveDefault());
    ASSERT_EQ(fleet.Outcomes(), std::vector<Outcome>{Outcome::Uploaded});
    ASSERT_TRUE(fleet.walk.FetchWatchSetting(1));
    const WatchSetting back = ParseSettingText(fleet.servers.Entry(1).SettingText);
    ASSERT_EQ(back.Rows.size(), 1u);
    EXPECT_EQ(back.Rows[0].FileName, "/var/log/default.log");
    EXPECT_EQ(back.ServerName, "distributed");
}

// Misbehaving Agents, one after the other on one scripted server: the walk goes on past
// each and takes what the well-behaved ones send.
TEST(WalksAgainstMisbehaviour, FetchAllGoesOnPastEveryKindOfFailure) {
    const std::string setting = "\"/a\",\"x\",\"1\",\"\",\"\"\r\n\"s\",\"b\",\"h\",\"f\",\"n\"\r\n";
    ScriptedServer server({
        {"", After::Hang},
        {"HTTP/1.0 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\n\"/a\",\r\n" +
         Hex(setting.size() - 5) + "\r\n" + setting.substr(5) + "\r\n0\r\n\r\n"},
        {"HTTP/1.0 301 Moved\r\nLocation: /elsewhere\r\n\r\n"},
        {"HTTP/1.0 200 OK\r\n\r\n" + setting},
        {"HTTP/1.0 200 OK\r\nContent-Length: 999\r\n\r\ntruncated", After::Close},
        {"HTTP/1.0 503 Service Unavailable\r\nContent-Length: 0\r\n\r\n"},
    });
    Fleet fleet(std::to_string(server.Port()), std::vector<std::string>(5, "127.0.0.1"));
    fleet.client.SetIdleTimeout(std::chrono::milliseconds(300));
    fleet.walk.FetchAll();
    EXPECT_EQ(fleet.Outcomes(),
              (std::vector<Outcome>{Outcome::FetchFailed, Outcome::Fetched, Outcome::Fetched,
                                    Outcome::FetchFailed, Outcome::FetchFailed}));
    EXPECT_EQ(fleet.servers.Entry(2).SettingText, setting);
    // The relocation was followed; its body ran until the close.
    EXPECT_EQ(fleet.servers.Entry(3).SettingText, setting);
    EXPECT_EQ(fleet.servers.Entry(4).SettingText, "");
    EXPECT_EQ(fleet.client.ReplyBody(), nullptr);
}

TEST(WalksAgainstMisbehaviour, SaveAllGoesOnPastADroppedConnection) {
    ScriptedServer server({
        {"", After::Reset},
        {"HTTP/1.0 204 No Content\r\n\r\n"},
    });
    Fleet fleet(std::to_string(server.Port()), {"127.0.0.1", "127.0.0.1"});
    for (std::size_t i : {1u, 2u}) {
        fleet.servers.Entry(i).SettingText = fleet.servers.Entry(0).SettingText;
    }
    fleet.walk.SaveAll(All(), fleet.SaveDefault());
    EXPECT_EQ(fleet.Outcomes(), (std::vector<Outcome>{Outcome::UploadFailed, Outcome::Uploaded}));
    EXPECT_EQ(fleet.client.RequestBody(), nullptr);
}

}  // namespace
}  // namespace kv

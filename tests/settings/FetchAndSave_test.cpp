#include "settings/FetchAndSave.h"

#include <functional>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "agent/AgentRequests.h"
#include "agent/HttpCli.h"
#include "settings/WatchSetting.h"
#include "store/ServerList.h"
#include "support/ScriptedServer.h"
#include "support/TempDir.h"
#include "text/Cp932.h"
#include "text/JapaneseConversion.h"

using namespace kv::text;
using namespace kv::store;
using namespace kv::settings;
using namespace kv::agent;

namespace kv {
namespace {

using Outcome = FetchAndSave::Outcome;

const std::string kHint =
    Sjis("リモートサーバでKestrelviewエージェントが起動しているか確認してください。");

// Agents that answer from a table: an address with a setting text answers fetches and
// stores uploads; any other address fails both.
struct FakeAgents {
    std::map<std::string, std::string> settings;
    std::set<std::string> refuseUploads;
    std::vector<std::string> fetched;
    std::vector<std::pair<std::string, std::vector<std::string>>> posted;
    // Runs once inside the next upload, as another program acting while it waits.
    std::function<void()> whilePosting;

    FetchAndSave::Requests Requests() {
        return {[this](std::string_view address, std::string& target) {
                    fetched.emplace_back(address);
                    const auto found = settings.find(std::string(address));
                    if (found == settings.end()) {
                        return false;
                    }
                    target = found->second;
                    return true;
                },
                [this](std::string_view address, const std::vector<std::string>& lines) {
                    if (whilePosting) {
                        std::exchange(whilePosting, nullptr)();
                    }
                    const std::string key(address);
                    if (!settings.contains(key) || refuseUploads.contains(key)) {
                        return false;
                    }
                    posted.emplace_back(key, lines);
                    return true;
                }};
    }
};

// A server list of the default setting and the given servers, each with a setting text
// and a cached log, and the walk over it that records every report.
struct Walk {
    test::TempDir dir;
    ServerList servers;
    FakeAgents agents;
    std::vector<FetchAndSave::Report> reports;
    std::vector<std::string> savedDefaults;
    FetchAndSave walk{servers, agents.Requests(),
                      [this](const FetchAndSave::Report& report) { reports.push_back(report); }};

    explicit Walk(const std::vector<std::string>& addresses) {
        servers.Load(dir.File("Server.csv"));
        servers.Entry(0).SettingText = Setting("/default.log", "DefaultSetting");
        for (const std::string& address : addresses) {
            const std::size_t i = *servers.AddDiscovered(address, "name-" + address);
            servers.Entry(i).SettingText = Setting("/old-" + address, "name-" + address);
            servers.Entry(i).CachedLog = "cached log";
        }
    }

    static std::string Setting(const std::string& file, const std::string& name) {
        return "\"" + file + "\",\"ERROR\",\"1\",\"ops@example.com\",\"\"\r\n" +
               Sjis("\"件名\",\"一行目\t二行目\",\"smtp.example.com\",\"from@example.com\",\"") +
               name + "\"\r\n\r\n";
    }

    FetchAndSave::SaveDefault SaveDefault() {
        return [this](const std::string& text) { savedDefaults.push_back(text); };
    }

    std::vector<std::string> Messages() const {
        std::vector<std::string> messages;
        for (const auto& report : reports) {
            if (!report.Message.empty()) {
                messages.push_back(report.Message);
            }
        }
        return messages;
    }
};

FetchAndSave::LoadedFlag LoadedAre(std::set<std::size_t> loaded) {
    return [loaded](std::size_t index) { return loaded.contains(index); };
}

// ---- Messages ----------------------------------------------------------------------------

TEST(FetchAndSaveMessages, NameTheServerAsTheManagerDoes) {
    EXPECT_EQ(FetchAndSave::CommunicationFailedMessage(),
              Sjis("リモートサーバとの通信に失敗しました。") + "\r\n" + kHint);
    EXPECT_EQ(FetchAndSave::UploadFailedMessage("127.10.0.1"),
              "127.10.0.1" + Sjis(" サーバとの通信に失敗しました。") + "\r\n" + kHint);
    EXPECT_EQ(
        FetchAndSave::FetchAllFailedMessage("127.10.0.1"),
        Sjis("リモートサーバ") + "127.10.0.1" + Sjis("との通信に失敗しました。") + "\r\n" + kHint);
}

// ---- Upload of one server ----------------------------------------------------------------

TEST(FetchAndSaveUpload, PostsTheBodyUnderTheEntrysOwnName) {
    Walk w({"127.10.0.1"});
    w.agents.settings["127.10.0.1"] = "";
    // The mail line names another server; the upload carries this entry's name.
    w.servers.Entry(1).SettingText = Walk::Setting("/var/log/a", "someone-else") + "";
    w.servers.Entry(1).ServerName = Sjis("一号機");
    const std::string before = w.servers.Entry(1).SettingText;
    EXPECT_EQ(w.walk.UploadWatchSetting(1), Outcome::Uploaded);
    ASSERT_EQ(w.agents.posted.size(), 1u);
    const std::vector<std::string> expected = {
        "\"/var/log/a\",\"ERROR\",\"1\",\"ops@example.com\",\"\"",
        "\"" + SjisToEuc(Sjis("件名")) + "\",\"" + SjisToEuc(Sjis("一行目\t二行目")) +
            "\",\"smtp.example.com\",\"from@example.com\",\"" + Sjis("一号機") + "\""};
    EXPECT_EQ(w.agents.posted[0].second, expected);
    EXPECT_EQ(w.servers.Entry(1).SettingText, before);
    EXPECT_TRUE(w.Messages().empty());
}

TEST(FetchAndSaveUpload, FailureReportsTheAddressAndLeavesTheText) {
    Walk w({"127.10.0.1"});
    const std::string before = w.servers.Entry(1).SettingText;
    EXPECT_EQ(w.walk.UploadWatchSetting(1), Outcome::UploadFailed);
    EXPECT_EQ(w.Messages(),
              std::vector<std::string>{FetchAndSave::UploadFailedMessage("127.10.0.1")});
    EXPECT_EQ(w.servers.Entry(1).SettingText, before);
}

TEST(FetchAndSaveUpload, EntryWithoutASettingIsNeverPosted) {
    Walk w({"127.10.0.1"});
    w.agents.settings["127.10.0.1"] = "";
    for (const std::string& text : {std::string(), std::string("\"/log/20260301.log\"\r\n")}) {
        w.servers.Entry(1).SettingText = text;
        EXPECT_EQ(w.walk.UploadWatchSetting(1), Outcome::NotFetched);
    }
    EXPECT_THROW(w.walk.UploadWatchSetting(0), std::invalid_argument);
    EXPECT_THROW(w.walk.FetchWatchSetting(0), std::invalid_argument);
    EXPECT_TRUE(w.agents.posted.empty());
    EXPECT_TRUE(w.agents.fetched.empty());
    EXPECT_EQ(w.Messages().size(), 2u);
    EXPECT_EQ(w.Messages()[0], FetchAndSave::NotFetchedMessage("127.10.0.1"));
}

// ---- Fetch -------------------------------------------------------------------------------

TEST(FetchAndSaveFetch, SingleFetchReplacesTheTextAndDropsTheCachedLog) {
    Walk w({"127.10.0.1"});
    w.agents.settings["127.10.0.1"] = "fresh";
    EXPECT_TRUE(w.walk.FetchWatchSetting(1));
    EXPECT_EQ(w.servers.Entry(1).SettingText, "fresh");
    EXPECT_FALSE(w.servers.Entry(1).CachedLog.has_value());

    w.agents.settings.clear();
    w.servers.Entry(1).CachedLog = "kept";
    EXPECT_FALSE(w.walk.FetchWatchSetting(1));
    EXPECT_EQ(w.servers.Entry(1).SettingText, "");
    EXPECT_EQ(w.servers.Entry(1).CachedLog, "kept");
    EXPECT_EQ(w.Messages(), std::vector<std::string>{FetchAndSave::CommunicationFailedMessage()});
}

TEST(FetchAndSaveFetch, FetchAllReportsEachUnreachableServerAndGoesOn) {
    Walk w({"127.10.0.1", "127.10.0.2", "127.10.0.3"});
    w.agents.settings["127.10.0.1"] = "one";
    w.agents.settings["127.10.0.3"] = "three";
    const std::string defaultText = w.servers.Entry(0).SettingText;
    w.walk.FetchAll();
    EXPECT_EQ(w.agents.fetched,
              (std::vector<std::string>{"127.10.0.1", "127.10.0.2", "127.10.0.3"}));
    EXPECT_EQ(w.servers.Entry(0).SettingText, defaultText);
    EXPECT_EQ(w.servers.Entry(1).SettingText, "one");
    EXPECT_EQ(w.servers.Entry(2).SettingText, "");
    EXPECT_EQ(w.servers.Entry(2).CachedLog, "cached log");
    EXPECT_FALSE(w.servers.Entry(3).CachedLog.has_value());
    EXPECT_EQ(w.Messages(),
              std::vector<std::string>{FetchAndSave::FetchAllFailedMessage("127.10.0.2")});
    ASSERT_EQ(w.reports.size(), 3u);
    EXPECT_EQ(w.reports[0].outcome, Outcome::Fetched);
    EXPECT_EQ(w.reports[1].outcome, Outcome::FetchFailed);
    EXPECT_EQ(w.reports[1].Index, 2u);
    EXPECT_EQ(w.reports[2].outcome, Outcome::Fetched);
}

// ---- Save all and distribution -------------------------------------------------------------

TEST(FetchAndSaveWalks, SaveAllSkipsUnloadedSilentlyAndReportsTheUnreachable) {
    Walk w({"127.10.0.1", "127.10.0.2", "127.10.0.3"});
    w.agents.settings["127.10.0.1"] = "";
    w.agents.settings["127.10.0.2"] = "";
    w.walk.SaveAll(LoadedAre({1, 3}), w.SaveDefault());
    EXPECT_EQ(w.savedDefaults, std::vector<std::string>{w.servers.Entry(0).SettingText});
    ASSERT_EQ(w.agents.posted.size(), 1u);
    EXPECT_EQ(w.agents.posted[0].first, "127.10.0.1");
    EXPECT_EQ(w.Messages(),
              std::vector<std::string>{FetchAndSave::UploadFailedMessage("127.10.0.3")});
    EXPECT_EQ(w.reports.at(1).outcome, Outcome::Skipped);
}

TEST(FetchAndSaveWalks, SaveAllAfterAFailedFetchNeverPostsAnEmptySetting) {
    Walk w({"127.10.0.1", "127.10.0.2"});
    w.agents.settings["127.10.0.1"] = Walk::Setting("/a", "one");
    w.walk.FetchAll();
    // The second Agent comes back before the save; its node is still marked as loaded.
    w.agents.settings["127.10.0.2"] = "";
    w.reports.clear();
    w.walk.SaveAll(LoadedAre({1, 2}), w.SaveDefault());
    ASSERT_EQ(w.agents.posted.size(), 1u);
    EXPECT_EQ(w.agents.posted[0].first, "127.10.0.1");
    EXPECT_EQ(w.Messages(),
              std::vector<std::string>{FetchAndSave::NotFetchedMessage("127.10.0.2")});
}

TEST(FetchAndSaveWalks, FailedDefaultSaveEndsTheWalkBeforeAnyUpload) {
    Walk w({"127.10.0.1"});
    w.agents.settings["127.10.0.1"] = "";
    const auto failing = [](const std::string&) { throw std::runtime_error("disk full"); };
    EXPECT_THROW(w.walk.SaveAll(LoadedAre({1}), failing), std::runtime_error);
    EXPECT_THROW(w.walk.Distribute(LoadedAre({1}), failing), std::runtime_error);
    EXPECT_TRUE(w.agents.posted.empty());
    EXPECT_EQ(w.servers.Entry(1).SettingText, Walk::Setting("/old-127.10.0.1", "name-127.10.0.1"));
}

TEST(FetchAndSaveWalks, DistributionCopiesTheDefaultIntoEveryLoadedServer) {
    Walk w({"127.10.0.1", "127.10.0.2", "127.10.0.3"});
    for (const char* address : {"127.10.0.1", "127.10.0.2", "127.10.0.3"}) {
        w.agents.settings[address] = "";
    }
    const std::string defaultText = w.servers.Entry(0).SettingText;
    const std::string untouched = w.servers.Entry(2).SettingText;
    w.walk.Distribute(LoadedAre({1, 3}), w.SaveDefault());
    EXPECT_EQ(w.savedDefaults.size(), 1u);
    // Each copy names its own server: shown later, it must not rename the server.
    EXPECT_EQ(w.servers.Entry(1).SettingText, WithServerName(defaultText, "name-127.10.0.1"));
    EXPECT_EQ(w.servers.Entry(2).SettingText, untouched);
    EXPECT_EQ(w.servers.Entry(3).SettingText, WithServerName(defaultText, "name-127.10.0.3"));
    ASSERT_EQ(w.agents.posted.size(), 2u);
    // The default's rows under each server's own name.
    EXPECT_EQ(w.agents.posted[0].second.front(),
              "\"/default.log\",\"ERROR\",\"1\",\"ops@example.com\",\"\"");
    EXPECT_TRUE(w.agents.posted[0].second.back().ends_with(",\"name-127.10.0.1\""));
    EXPECT_TRUE(w.agents.posted[1].second.back().ends_with(",\"name-127.10.0.3\""));
    EXPECT_TRUE(w.Messages().empty());
}

TEST(FetchAndSaveWalks, EntriesDeletedOrAddedDuringAnUploadNeitherShiftNorJoinTheWalk) {
    Walk w({"127.10.0.1", "127.10.0.2", "127.10.0.3"});
    for (const char* address : {"127.10.0.1", "127.10.0.2", "127.10.0.3", "127.10.0.9"}) {
        w.agents.settings[address] = "";
    }
    w.agents.refuseUploads.insert("127.10.0.1");
    w.agents.whilePosting = [&] {
        w.servers.Delete(1);
        w.servers.AddDiscovered("127.10.0.9", "late");
    };
    w.walk.SaveAll([](std::size_t) { return true; }, w.SaveDefault());
    // The failure is 127.10.0.1's own; 127.10.0.2 moved up a row and still had its turn.
    EXPECT_EQ(w.Messages(),
              std::vector<std::string>{FetchAndSave::UploadFailedMessage("127.10.0.1")});
    ASSERT_EQ(w.agents.posted.size(), 2u);
    EXPECT_EQ(w.agents.posted[0].first, "127.10.0.2");
    EXPECT_EQ(w.agents.posted[1].first, "127.10.0.3");
}

TEST(FetchAndSaveWalks, FailedDistributionUploadIsReportedAndTheWalkGoesOn) {
    Walk w({"127.10.0.1", "127.10.0.2"});
    w.agents.settings["127.10.0.2"] = "";
    w.walk.Distribute(LoadedAre({1, 2}), w.SaveDefault());
    EXPECT_EQ(w.Messages(),
              std::vector<std::string>{FetchAndSave::UploadFailedMessage("127.10.0.1")});
    ASSERT_EQ(w.agents.posted.size(), 1u);
    EXPECT_EQ(w.agents.posted[0].first, "127.10.0.2");
}

// ---- Over the real request layer ------------------------------------------------------------

TEST(FetchAndSaveUpload, AgentRefusingTheCredentialsIsAFailedUpload) {
    const std::string challenge =
        "HTTP/1.0 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"a\"\r\n"
        "Content-Length: 0\r\n\r\n";
    test::ScriptedServer agent({{challenge}, {challenge}});
    THttpCli client;
    AgentRequests requests(client);
    requests.ApplyConnection("root", "wrong", std::to_string(agent.Port()));
    test::TempDir dir;
    ServerList servers;
    servers.Load(dir.File("Server.csv"));
    const std::size_t index = *servers.AddDiscovered("127.0.0.1", "local");
    servers.Entry(index).SettingText = Walk::Setting("/a", "local");
    std::vector<FetchAndSave::Report> reports;
    FetchAndSave walk(servers, FetchAndSave::Requests::Over(requests),
                      [&](const FetchAndSave::Report& report) { reports.push_back(report); });
    EXPECT_EQ(walk.UploadWatchSetting(index), Outcome::UploadFailed);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].Message, FetchAndSave::UploadFailedMessage("127.0.0.1"));
    EXPECT_EQ(agent.Requests().size(), 2u);
}

}  // namespace
}  // namespace kv

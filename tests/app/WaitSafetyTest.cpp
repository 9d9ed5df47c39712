#include <gtest/gtest.h>

#include "AgentFlowsFakes.h"
#include "Fakes.h"
#include "text/Cp932.h"

namespace kv::test {
namespace {

const std::string kLog = "/var/log/kv/20260307.log";

// Three Agents a, b, c; the test acts while one of their requests waits.
class WaitSafety : public AgentFlowsTest {
protected:
    WaitSafety() : AgentFlowsTest({"a,127.10.0.1", "b,127.10.0.2", "c,127.10.0.3"}) {}

    void SetUp() override {
        AgentFlowsTest::SetUp();
        for (const std::string name : {"a", "b", "c"}) {
            const std::string address = "127.10.0." + std::to_string(name[0] - 'a' + 1);
            agents.trees[address] = "IsDir /\n\tIsFile hosts\n";
            agents.settings[address] = AgentSetting({"/" + name}, name, kLog);
            agents.files[address + "|" + kLog] = "log of " + name;
        }
    }
    // Fetches server `index` from the pane, as a double click does.
    void Fetch(std::size_t index) {
        f.Select(index);
        m->DoubleClickNode();
        ASSERT_TRUE(m->IsLoaded(m->ServerNode(index)));
    }
    // Discovery answers from so many Agents that the table fills up.
    void DiscoverUntilFull() {
        m->AddDiscoveredServers([](ServerList& servers) {
            std::vector<std::size_t> added;
            for (int i = 1; !servers.IsFull(); ++i) {
                added.push_back(*servers.AddDiscovered("127.19.0." + std::to_string(i), "d"));
            }
            return added;
        });
    }
    std::vector<std::string> PostedTo() const {
        std::vector<std::string> to;
        for (const auto& post : agents.posts) {
            to.push_back(post.first);
        }
        return to;
    }
    bool AnyPostOfEmptyPages() const {
        for (const auto& post : agents.posts) {
            if (post.second.size() == 1) {
                return true;
            }
        }
        return false;
    }
};

TEST_F(WaitSafety, DiscoveryDuringAWaitKeepsEveryFlowOnItsOwnEntry) {
    Fetch(1);
    Fetch(2);
    // The log of a server shown after fetch-all, fetched while discovery fills the table.
    m->Execute(CommandId::GrdAllReload);
    f.Select(2);
    agents.whileWaiting = [&](const std::string&) { DiscoverUntilFull(); };
    f.Select(1);
    EXPECT_EQ(m->Servers().Count(), ServerList::kCapacity);
    EXPECT_EQ(m->LogText().find("log of a"), 0u);
    EXPECT_EQ(m->Servers().Entry(1).CachedLog, "log of a");

    // A failing save-all upload while more answers arrive: each server keeps its outcome.
    agents.postOk["127.10.0.1"] = false;
    agents.whileWaiting = [&](const std::string&) { DiscoverUntilFull(); };
    m->Execute(CommandId::GrdAllSave);
    EXPECT_EQ(PostedTo(), (std::vector<std::string>{"127.10.0.1", "127.10.0.2", "127.10.0.3"}));
    ASSERT_EQ(f.user.messages.size(), 1u);
    EXPECT_EQ(f.user.messages[0], FetchAndSave::UploadFailedMessage("127.10.0.1"));
}

TEST_F(WaitSafety, AServerWhoseFetchFailedIsNeverSentEmptyPages) {
    for (const CommandId failing :
         {CommandId::Reload, CommandId::GrdReload, CommandId::GrdAllReload}) {
        SCOPED_TRACE(static_cast<int>(failing));
        SetUp();
        Fetch(1);
        agents.settings.erase("127.10.0.1");
        m->Execute(failing);
        EXPECT_FALSE(m->WatchEditing());
        f.Select(2);  // the switch would capture the emptied pages
        f.Select(1);
        m->Execute(CommandId::GrdAllSave);
        EXPECT_FALSE(AnyPostOfEmptyPages());
        for (const std::string& to : PostedTo()) {
            EXPECT_NE(to, "127.10.0.1");
        }
        agents.posts.clear();
    }
    // Fetch-all failing for a current server never loaded does not mark it loaded.
    SetUp();
    f.Select(3);
    agents.settings.erase("127.10.0.3");
    m->Execute(CommandId::GrdAllReload);
    EXPECT_FALSE(m->IsLoaded(m->ServerNode(3)));
}

TEST_F(WaitSafety, TableCommandsDuringAWaitRunOrAreRefusedAndNeverBlameAServer) {
    for (const CommandInfo& info : CommandTable()) {
        SCOPED_TRACE(static_cast<int>(info.Id));
        SetUp();
        Fetch(1);
        Fetch(2);
        f.Select(1);
        f.user.messages.clear();
        const std::string before = m->Servers().Entry(2).SettingText;
        agents.whileWaiting = [&](const std::string& request) {
            EXPECT_EQ(request, "post 127.10.0.1");
            m->SetStatusText("");
            m->Execute(info.Id);
            EXPECT_EQ(m->StatusText() == ManagerModel::BusyText(), !info.RunsWhileWaiting);
        };
        m->Execute(CommandId::GrdSave);
        EXPECT_EQ(PostedTo().front(), "127.10.0.1");
        EXPECT_EQ(m->Servers().Count(), 4u);
        EXPECT_EQ(m->CurrentServer(), "127.10.0.1");
        EXPECT_EQ(m->Servers().Entry(2).SettingText, before);
        EXPECT_TRUE(m->IsLoaded(m->ServerNode(2)));
        EXPECT_TRUE(f.user.errors.empty());
    }
}

TEST_F(WaitSafety, SelectionAndLogChoiceWaitForTheRequestThatRuns) {
    Fetch(1);
    Fetch(2);
    f.Select(1);
    m->SetSettingText(2, agents.settings["127.10.0.2"]);  // its log not yet fetched
    agents.whileWaiting = [&](const std::string& request) {
        EXPECT_EQ(request, "file 127.10.0.2");
        f.Select(1);
        m->ChooseLogDay(1);
    };
    f.Select(2);
    EXPECT_EQ(m->CurrentServer(), "127.10.0.2");
    EXPECT_EQ(m->Pane().TopLevelAncestor(m->SelectedNode()), m->ServerNode(2));
    EXPECT_EQ(m->Grid().Cell(1, 1), "/b");
    EXPECT_EQ(m->LogText().find("log of b"), 0u);
    EXPECT_EQ(m->LogIndex(), 0u);
    EXPECT_EQ(m->Servers().Entry(2).CachedLog, "log of b");
    EXPECT_EQ(m->StatusText(), ManagerModel::BusyText());
    EXPECT_TRUE(f.user.errors.empty());
    EXPECT_TRUE(f.user.messages.empty());
}

TEST_F(WaitSafety, ReloadBelowAServerMovesTheSelectionToTheServer) {
    Fetch(1);
    const NodeTree::Id server = m->ServerNode(1);
    m->SelectNode(m->Pane().Children(m->Pane().Children(server).at(0)).at(0));
    m->Execute(CommandId::Reload);
    EXPECT_EQ(m->SelectedNode(), server);
    agents.settings["127.10.0.1"] = AgentSetting({"/again"}, "a", kLog);
    m->Execute(CommandId::Reload);
    EXPECT_EQ(m->Grid().Cell(1, 1), "/again");
}

TEST_F(WaitSafety, TheDayChoiceAfterAFailedLogFetchAsksForThisServersLogs) {
    Fetch(1);
    agents.settings["127.10.0.2"] = AgentSetting({"/b"}, "b", "/var/log/kv/20260101.log");
    agents.files.clear();
    Fetch(2);
    agents.fileRequests.clear();
    m->ChooseLogDay(1);
    ASSERT_EQ(agents.fileRequests.size(), 1u);
    EXPECT_EQ(agents.fileRequests[0], "127.10.0.2|/var/log/kv/20251231.log");
}

}  // namespace
}  // namespace kv::test

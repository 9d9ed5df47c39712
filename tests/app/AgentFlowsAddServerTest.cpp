#include <deque>
#include <string>

#include <gtest/gtest.h>

#include "AgentFlowsFakes.h"
#include "Fakes.h"
#include "agent/AddServerCheck.h"
#include "app/AgentFlows.h"
#include "text/Cp932.h"

using namespace kv::text;
using namespace kv::agent;
using namespace kv::app;

namespace kv::test {
namespace {

// Types the scripted addresses into the dialog, one OK each, until one is accepted; then
// the dialog closes with OK; a refused one's message is shown as the dialog shows it, after
// the attempt. Runs out of addresses: Cancel.
class DialogUser : public ScriptedUser {
public:
    std::deque<std::string> typed;
    bool ShowAddServerDialog(const TryAddress& tryAddress) override {
        while (!typed.empty()) {
            const std::string address = typed.front();
            typed.pop_front();
            const AddAttempt attempt = tryAddress(address);
            if (attempt.Added) {
                return true;
            }
            if (!attempt.Message.empty()) {
                ShowMessage(attempt.Message);
            }
        }
        return false;
    }
};

const std::string kLog = "/var/log/kv/20260307.log";

class AddingServer : public ::testing::Test {
protected:
    ManagerFixture f{{"a,127.10.0.1"}};
    DialogUser user;
    CannedAgents agents;
    std::optional<ManagerModel> m;
    std::optional<AgentFlows> flows;

    void SetUp() override {
        m.emplace(user, f.DataDir());
        m->SetRequestPort(&agents);
        m->FormCreate();
        m->FormShow();
        flows.emplace(*m);
        flows->Install();
        agents.trees["127.10.0.5"] = "IsDir /\n\tIsDir etc\n\t\thosts\n";
        agents.settings["127.10.0.5"] = AgentSetting({"/etc/hosts"}, "web", kLog);
        agents.files["127.10.0.5|" + kLog] = "started\n";
    }
    void ExpectWindowRestored() const {
        EXPECT_TRUE(m->MainWindowEnabled());
        EXPECT_EQ(user.busyDepth, 0);
    }
};

TEST_F(AddingServer, RetryAfterNoAnswerAddsALoadedServerWithItsTree) {
    user.typed = {"127.10.0.9", "127.10.0.5"};
    m->Execute(CommandId::AddServer);

    ASSERT_EQ(user.messages.size(), 1u);
    EXPECT_EQ(user.messages[0], AddServerCheck::NoAnswerMessage());
    ASSERT_EQ(m->Servers().Count(), 3u);
    EXPECT_EQ(m->Servers().Entry(2).IPAddress, "127.10.0.5");
    EXPECT_EQ(m->Servers().Entry(2).ServerName, "web");
    const NodeTree::Id node = m->ServerNode(2);
    EXPECT_EQ(m->SelectedNode(), node);
    EXPECT_EQ(m->CurrentServer(), "127.10.0.5");
    EXPECT_TRUE(m->IsLoaded(node));
    ASSERT_EQ(m->Pane().ChildCount(node), 1u);
    const NodeTree::Id root = m->Pane().Children(node)[0];
    EXPECT_EQ(m->Pane().Caption(root), "/");
    EXPECT_EQ(m->Pane().ChildCount(root), 1u);
    EXPECT_EQ(m->Grid().Cell(1, 1), "/etc/hosts");
    EXPECT_EQ(m->LogText().find("started"), 0u);
    EXPECT_EQ(m->StatusText(), Sjis("ディレクトリ情報の取得を完了しました。"));
    EXPECT_TRUE(m->IsEnabled(Control::BtnServerDel));
    EXPECT_TRUE(m->IsEnabled(Control::BtnReload));
    EXPECT_FALSE(m->IsEnabled(Control::BtnDefaultSet));
    EXPECT_TRUE(m->LogTabVisible());
    EXPECT_TRUE(m->WatchEditing());
    ExpectWindowRestored();
}

TEST_F(AddingServer, CancelAddsNothing) {
    user.typed = {"127.10.0.9"};
    m->Execute(CommandId::AddServer);
    EXPECT_EQ(m->Servers().Count(), 2u);
    EXPECT_EQ(m->Pane().ChildCount(NodeTree::kNone), 2u);
    ExpectWindowRestored();
}

TEST_F(AddingServer, EditsOfTheServerShownBeforeAreKept) {
    m->SetSettingText(1, AgentSetting({"/a"}, "alpha", kLog));
    m->MarkLoaded(m->ServerNode(1));
    agents.files["127.10.0.1|" + kLog] = "";
    m->SelectNode(m->ServerNode(1));
    ASSERT_TRUE(m->EditCell(1, 1, "/edited"));
    user.typed = {"127.10.0.5"};
    m->Execute(CommandId::AddServer);
    EXPECT_EQ(m->Servers().Entry(1).SettingText.rfind("\"/edited\",", 0), 0u);
    EXPECT_EQ(m->Grid().Cell(1, 1), "/etc/hosts");
}

TEST_F(AddingServer, BadTreeLeavesAnEmptyRootAndAWorkingPane) {
    agents.trees["127.10.0.5"] = "IsDir /\n\t\tdeep\n";
    user.typed = {"127.10.0.5"};
    m->Execute(CommandId::AddServer);
    ASSERT_EQ(user.messages.size(), 1u);
    EXPECT_EQ(user.messages[0], ManagerModel::CommunicationFailureText());
    const NodeTree::Id node = m->ServerNode(2);
    EXPECT_TRUE(m->IsLoaded(node));
    ASSERT_EQ(m->Pane().ChildCount(node), 1u);
    EXPECT_EQ(m->Pane().ChildCount(m->Pane().Children(node)[0]), 0u);
    ExpectWindowRestored();
    m->SelectNode(m->ServerNode(0));
    EXPECT_EQ(m->CurrentServer(), "DefaultSetting");
}

}  // namespace
}  // namespace kv::test

namespace kv::test {
namespace {

// A name that Server.csv and the setting text cannot carry is refused, as discovery does.
TEST_F(AddingServer, AServerNameWithAControlByteOrAQuoteIsRefused) {
    for (const std::string& name :
         std::vector<std::string>{"say \"\"hi\"\"", "tab\there", "\x7f"}) {
        SCOPED_TRACE(name);
        SetUp();
        agents.settings["127.10.0.5"] = AgentSetting({"/etc/hosts"}, name, kLog);
        user.typed = {"127.10.0.5"};
        user.messages.clear();
        m->Execute(CommandId::AddServer);
        EXPECT_EQ(m->Servers().Count(), 2u);
        EXPECT_EQ(user.messages, std::vector<std::string>{AddServerCheck::BadNameMessage()});
    }
}

}  // namespace
}  // namespace kv::test

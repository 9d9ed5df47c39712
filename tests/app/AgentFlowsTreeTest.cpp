#include <algorithm>

#include <gtest/gtest.h>

#include "AgentFlowsFakes.h"
#include "Fakes.h"
#include "text/Cp932.h"

using namespace kv::text;
using namespace kv::agent;
using namespace kv::app;

namespace kv::test {
namespace {

// Remembers the highest position the progress bar showed.
class ProgressWatch : public ModelObserver {
public:
    explicit ProgressWatch(const ManagerModel& model) : model_(model) {}
    int highest = 0;
    void ModelChanged(ChangeMask what) override {
        if ((what & static_cast<ChangeMask>(Change::Progress)) != 0) {
            highest = std::max(highest, model_.ProgressPosition());
        }
    }

private:
    const ManagerModel& model_;
};

const std::string kLog = "/var/log/kv/20260307.log";

class TreeFlows : public AgentFlowsTest {
protected:
    TreeFlows() : AgentFlowsTest({"a,127.10.0.1", "b,127.10.0.2"}) {}

    void SetUp() override {
        AgentFlowsTest::SetUp();
        agents.settings["127.10.0.1"] = AgentSetting({"/etc/hosts"}, "alpha", kLog);
        agents.files["127.10.0.1|" + kLog] = "log line\n";
    }

    NodeTree::Id Server(std::size_t index) const { return m->ServerNode(index); }
    const NodeTree& Pane() const { return m->Pane(); }
    std::vector<std::string> Captions(NodeTree::Id node) const {
        std::vector<std::string> out;
        for (const NodeTree::Id child : Pane().Children(node)) {
            out.push_back(Pane().Caption(child));
        }
        return out;
    }
    void ExpectCommunicationMessage() const {
        ASSERT_EQ(f.user.messages.size(), 1u);
        EXPECT_EQ(f.user.messages.back(), ManagerModel::CommunicationFailureText());
        EXPECT_TRUE(f.user.errors.empty());
    }
};

TEST_F(TreeFlows, DoubleClickFetchesTreeSettingAndLog) {
    agents.trees["127.10.0.1"] = "IsDir /\n\tIsDir etc\n\t\thosts\n\tIsDir tmp\n";
    f.Select(0);
    f.Select(1);
    ASSERT_FALSE(m->LogTabVisible());
    m->DoubleClickNode();

    const NodeTree::Id server = Server(1);
    EXPECT_TRUE(m->IsLoaded(server));
    ASSERT_EQ(Captions(server), std::vector<std::string>{"/"});
    const NodeTree::Id root = Pane().Children(server)[0];
    EXPECT_EQ(Pane().PictureOf(root), Picture::RootDirectory);
    ASSERT_EQ(Captions(root), (std::vector<std::string>{"etc", "tmp"}));
    EXPECT_EQ(Captions(Pane().Children(root)[0]), std::vector<std::string>{"hosts"});
    EXPECT_TRUE(Captions(Pane().Children(root)[1]).empty());

    EXPECT_EQ(m->Grid().Cell(1, 1), "/etc/hosts");
    EXPECT_EQ(m->ServerNameText(), "alpha");
    EXPECT_EQ(m->LogText().find("log line"), 0u);
    EXPECT_TRUE(m->WatchEditing());
    EXPECT_TRUE(m->LogTabVisible());
    EXPECT_EQ(m->ProgressPosition(), 0);
    EXPECT_EQ(m->StatusText(), Sjis("ディレクトリ情報の取得を完了しました。"));
    ExpectWindowRestored();
    EXPECT_TRUE(f.user.messages.empty());
}

TEST_F(TreeFlows, DoubleClickOnLoadedServerDoesNothingButPopupFetchesAgain) {
    agents.trees["127.10.0.1"] = "IsDir /\n\tIsDir etc\n";
    f.Select(1);
    m->DoubleClickNode();
    agents.asked.clear();
    m->DoubleClickNode();
    EXPECT_TRUE(agents.asked.empty());

    m->OpenTreePopup();
    m->Execute(CommandId::TreeFetch);
    EXPECT_EQ(agents.asked, (std::vector<std::string>{"tree 127.10.0.1", "setting 127.10.0.1"}));
    EXPECT_EQ(Captions(Server(1)), std::vector<std::string>{"/"});
}

TEST_F(TreeFlows, ReloadFromADeepNodeFetchesItsServerOnce) {
    agents.trees["127.10.0.1"] = "IsDir /\n\tIsDir etc\n\t\thosts\n";
    f.Select(1);
    m->DoubleClickNode();
    const NodeTree::Id root = Pane().Children(Server(1))[0];
    m->SelectNode(Pane().Children(Pane().Children(root)[0])[0]);
    agents.trees["127.10.0.1"] = "IsDir /\n\tvmlinuz\n";
    m->Execute(CommandId::Reload);

    ASSERT_EQ(Captions(Server(1)), std::vector<std::string>{"/"});
    EXPECT_EQ(Captions(Pane().Children(Server(1))[0]), std::vector<std::string>{"vmlinuz"});
    EXPECT_EQ(m->StatusText(), Sjis("　　ディレクトリ情報の取得を完了しました。"));
    EXPECT_TRUE(m->WatchEditing());
    ExpectWindowRestored();
}

TEST_F(TreeFlows, ReloadOnNothingOrTheDefaultSettingAsksNoAgent) {
    m->Execute(CommandId::Reload);
    f.Select(0);
    m->Execute(CommandId::Reload);
    EXPECT_TRUE(agents.asked.empty());
    EXPECT_TRUE(f.user.messages.empty());
}

TEST_F(TreeFlows, ReloadThatLosesTheConnectionLeavesTheServerEmpty) {
    agents.trees["127.10.0.1"] = "IsDir /\n\tIsDir etc\n";
    f.Select(1);
    m->DoubleClickNode();
    agents.settings.erase("127.10.0.1");
    m->Execute(CommandId::Reload);

    ExpectCommunicationMessage();
    ExpectWindowRestored();
    EXPECT_TRUE(Pane().Children(Server(1)).empty());
    EXPECT_TRUE(m->IsLoaded(Server(1)));
    // The tree reply that did arrive stays; the setting was emptied before asking.
    EXPECT_EQ(m->Servers().Entry(1).TreeText, "IsDir /\n\tIsDir etc\n");
    EXPECT_TRUE(m->Servers().Entry(1).SettingText.empty());
    EXPECT_FALSE(m->WatchEditing());
    EXPECT_EQ(m->StatusText(), Sjis("　　ディレクトリ情報をリモートサーバから取得します。"));
}

TEST_F(TreeFlows, FailedFetchKeepsTheOldSubtreeAndStopsBeforeLoading) {
    agents.trees["127.10.0.1"] = "IsDir /\n\tIsDir etc\n";
    f.Select(1);
    m->DoubleClickNode();
    agents.trees.clear();
    m->OpenTreePopup();
    m->Execute(CommandId::TreeFetch);

    ExpectCommunicationMessage();
    ExpectWindowRestored();
    EXPECT_EQ(Captions(Server(1)), std::vector<std::string>{"/"});
    EXPECT_EQ(agents.asked.back(), "tree 127.10.0.1");
    EXPECT_EQ(m->StatusText(), Sjis("ディレクトリ情報をリモートサーバから取得します。"));
}

TEST_F(TreeFlows, BadEntryLevelLeavesAnEmptyRootAndResumesSelection) {
    agents.trees["127.10.0.1"] = "IsDir /\n\t\t\tdeep\n";
    f.Select(1);
    m->DoubleClickNode();

    ExpectCommunicationMessage();
    ExpectWindowRestored();
    EXPECT_TRUE(m->IsLoaded(Server(1)));
    ASSERT_EQ(Captions(Server(1)), std::vector<std::string>{"/"});
    EXPECT_TRUE(Pane().Children(Pane().Children(Server(1))[0]).empty());
    EXPECT_FALSE(m->WatchEditing());
    // The selection reaction works again: choosing the default setting shows it.
    f.Select(0);
    EXPECT_EQ(m->CurrentServer(), "DefaultSetting");
}

TEST_F(TreeFlows, LogFailureInsideTheDisplayIsACommunicationFailure) {
    agents.trees["127.10.0.1"] = "";
    agents.files.clear();
    f.Select(1);
    m->DoubleClickNode();
    ExpectCommunicationMessage();
    ExpectWindowRestored();
    // The empty reply still built a "/" without children.
    ASSERT_EQ(Captions(Server(1)), std::vector<std::string>{"/"});
    EXPECT_TRUE(Pane().Children(Pane().Children(Server(1))[0]).empty());
}

TEST_F(TreeFlows, ProgressCountsNonEmptyRootDirectoriesUpToItsMaximum) {
    std::string tree = "IsDir /\n";
    for (int i = 0; i < 20; ++i) {
        tree += "\tIsDir d" + std::to_string(i) + "\n\t\tf\n";
    }
    agents.trees["127.10.0.1"] = tree;
    ProgressWatch watch(*m);
    m->AddObserver(&watch);
    f.Select(1);
    m->DoubleClickNode();
    m->RemoveObserver(&watch);
    EXPECT_EQ(watch.highest, 17);
    EXPECT_EQ(Pane().ChildCount(Pane().Children(Server(1))[0]), 20u);
    EXPECT_EQ(m->ProgressPosition(), 0);
}

TEST_F(TreeFlows, WithoutARequestPortEveryFetchFails) {
    m->SetRequestPort(nullptr);
    f.Select(2);
    m->DoubleClickNode();
    ExpectCommunicationMessage();
    ExpectWindowRestored();
    EXPECT_FALSE(m->IsLoaded(Server(2)));
}

}  // namespace
}  // namespace kv::test

#include <set>

#include <gtest/gtest.h>

#include "Fakes.h"
#include "agent/ConnectionSettings.h"
#include "app/StatusLayout.h"
#include "text/Cp932.h"

using namespace kv::text;
using namespace kv::agent;
using namespace kv::app;

namespace kv::test {
namespace {

TEST(Connection, PortRange) {
    ManagerFixture f;
    f.Start();
    ManagerModel& m = *f.model;
    const std::string refused = Sjis("ポートの指定範囲は1024-65534です。");
    m.ChangePort("1024");
    EXPECT_EQ(f.requests.port, "1024");
    m.ChangePort("65534");
    EXPECT_EQ(m.Connection().AgentPort(), "65534");
    for (const char* bad : {"1023", "65535", "", "80a", "-1", "99999"}) {
        m.ChangePort(bad);
        EXPECT_EQ(m.Connection().PortText(), "65534") << bad;
        EXPECT_EQ(m.Connection().AgentPort(), "65534") << bad;
        EXPECT_EQ(f.user.messages.back(), refused) << bad;
    }
    EXPECT_EQ(f.user.messages.size(), 6u);
    EXPECT_TRUE(f.user.errors.empty());
    m.ChangePort(" 8080 ");
    EXPECT_EQ(m.Connection().PortText(), " 8080 ");
    EXPECT_EQ(f.requests.port, "8080");
}

TEST(Connection, PortTextThatIsNotAWholeNumberIsRefusedLikeAPortOutOfRange) {
    ManagerFixture f;
    f.Start();
    f.model->ChangePort("12ab");
    EXPECT_EQ(f.model->Connection().PortText(), "4009");
    EXPECT_EQ(f.model->Connection().AgentPort(), "4009");
    EXPECT_EQ(f.user.messages,
              (std::vector<std::string>{Sjis("ポートの指定範囲は1024-65534です。")}));
    EXPECT_TRUE(f.user.errors.empty());
    EXPECT_EQ(f.requests.port, "4009");
}

TEST(Connection, SameValueTriggersNothingAndCredentialsApplyAtOnce) {
    ManagerFixture f;
    f.Start();
    const int applied = f.requests.applied;
    f.model->ChangePort("4009");
    f.model->ChangeUser("root");
    EXPECT_EQ(f.requests.applied, applied);
    f.model->ChangeUser("admin");
    f.model->ChangePassword("");
    EXPECT_EQ(f.requests.user, "admin");
    EXPECT_EQ(f.requests.password, "");
    EXPECT_TRUE(f.user.messages.empty());

    ScriptedUser user;
    ManagerModel restarted(user, f.DataDir());
    EXPECT_EQ(restarted.Connection().User(), "root");
    EXPECT_EQ(restarted.Connection().Password(), "plumtree");
    EXPECT_EQ(restarted.Connection().PortText(), "4009");
}

TEST(Layout, SplitterKeepsStatusBarAsWideAsTheTree) {
    StatusLayout layout;
    EXPECT_EQ(layout.ProgressBarWidth(), 250);
    EXPECT_EQ(layout.StatusPanel0Width(), 256);
    layout.SplitterMoved(300);
    EXPECT_EQ(layout.ProgressBarWidth(), 302);
    EXPECT_EQ(layout.StatusPanel0Width(), 307);
    EXPECT_EQ(layout.AnimationLeft(), 311);
    layout.SplitterMoved(100);
    EXPECT_EQ(layout.ProgressBarWidth(), StatusLayout::kMinTreeWidth + 2);
}

TEST(Layout, ProgressStopsAtItsMaximum) {
    ManagerFixture f;
    f.Start();
    for (int i = 0; i < 20; ++i) {
        f.model->StepProgress();
    }
    EXPECT_EQ(f.model->ProgressPosition(), 17);
    f.model->SetProgress(0);
    EXPECT_EQ(f.model->ProgressPosition(), 0);
}

TEST(CommandTable, OneRowPerCommandWithItsPlaces) {
    const auto& table = CommandTable();
    ASSERT_EQ(table.size(), kCommandCount);
    std::set<std::string> buttons;
    for (std::size_t i = 0; i < table.size(); ++i) {
        EXPECT_EQ(static_cast<std::size_t>(table[i].Id), i);
        if (!table[i].ButtonName.empty()) {
            EXPECT_TRUE(buttons.insert(table[i].ButtonName).second) << table[i].ButtonName;
            EXPECT_FALSE(table[i].Hint.empty()) << table[i].ButtonName;
        }
        if (table[i].ButtonControl) {
            EXPECT_EQ(ControlName(*table[i].ButtonControl), table[i].ButtonName);
        }
    }
    EXPECT_EQ(CommandFor(CommandId::Help).Accelerator, "F1");
    EXPECT_EQ(CommandFor(CommandId::Close).MenuCaption, Sjis("終了(&X)"));
    EXPECT_EQ(CommandFor(CommandId::LinePast).PopupCaption, Sjis("コピー行の貼り付け"));
    EXPECT_EQ(CommandFor(CommandId::LinePast).MenuCaption, Sjis("選択行貼り付け"));
    EXPECT_EQ(CommandFor(CommandId::GrdAllReload).Hint, Sjis("すべての設定情報の取得"));
    // Menu entries that are never disabled have no control of their own.
    EXPECT_FALSE(CommandFor(CommandId::ServerDel).MenuControl);
    EXPECT_FALSE(CommandFor(CommandId::GrdReload).MenuControl);

    std::vector<CommandId> file;
    for (const BarItem& item : MainMenuLayout()[0].Items) {
        if (!item.Separator) {
            file.push_back(item.Id);
        }
    }
    EXPECT_EQ(file, (std::vector<CommandId>{CommandId::AutoSearch, CommandId::AddServer,
                                            CommandId::ServerDel, CommandId::Reload,
                                            CommandId::Save, CommandId::Close}));
    EXPECT_EQ(TreePopupLayout().size(), 7u);
}

TEST(CommandTable, AgentFlowsRunOnceInstalled) {
    ManagerFixture f({"a,127.10.0.1"});
    f.Start();
    ManagerModel& m = *f.model;
    EXPECT_FALSE(m.HasHandler(CommandId::GrdReload));
    EXPECT_FALSE(m.HasHandler(CommandId::CellCopy));
    EXPECT_TRUE(m.HasHandler(CommandId::LineDel));
    int fetches = 0;
    int views = 0;
    m.InstallFlow(CommandId::TreeFetch, [&] { ++fetches; });
    m.InstallFlow(CommandId::TreeViewFile, [&] { ++views; });
    m.InstallFlow(CommandId::GrdReload, [] { throw std::runtime_error("boom"); });
    m.Execute(CommandId::GrdReload);
    EXPECT_EQ(f.user.errors, (std::vector<std::string>{"boom"}));

    f.Select(1);
    m.DoubleClickNode();  // not loaded: fetch
    m.MarkLoaded(m.ServerNode(1));
    m.DoubleClickNode();              // loaded: nothing
    m.Execute(CommandId::TreeFetch);  // popup: fetch again
    EXPECT_EQ(fetches, 2);
    const NodeTree::Id file = FetchedBranch(m, 1, {"f"});
    m.SelectNode(file);
    m.DoubleClickNode();
    m.Execute(CommandId::TreeFetch);
    m.Execute(CommandId::TreeViewFile);
    EXPECT_EQ(views, 3);
    f.Select(0);
    m.DoubleClickNode();
    m.Execute(CommandId::TreeFetch);
    EXPECT_EQ(fetches, 2);
}

TEST(Observer, ChangesReachTheWindow) {
    ManagerFixture f({"a,127.10.0.1"});
    f.Start();
    RecordingObserver observer;
    f.model->AddObserver(&observer);
    f.model->EditCell(1, 1, "x");
    EXPECT_TRUE(Has(observer.seen, Change::Grid));
    observer.seen = 0;
    f.model->ChangePort("1");
    EXPECT_TRUE(Has(observer.seen, Change::Connection));
    observer.seen = 0;
    f.Select(1);
    EXPECT_TRUE(Has(observer.seen, Change::CurrentServer));
    EXPECT_TRUE(Has(observer.seen, Change::Enabling));
    f.model->RemoveObserver(&observer);
    observer.seen = 0;
    f.model->EditCell(1, 1, "y");
    EXPECT_EQ(observer.seen, 0u);
}

}  // namespace
}  // namespace kv::test

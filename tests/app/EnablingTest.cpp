#include <gtest/gtest.h>

#include "Fakes.h"

namespace kv::test {
namespace {

using Page = ManagerModel::Page;

constexpr std::array kRowControls{Control::BtnLineCopy, Control::BtnLinePast, Control::BtnLineDel,
                                  Control::BtnImport, Control::BtnExport};
constexpr std::array kServerButtons{Control::BtnReload, Control::BtnServerDel,
                                    Control::BtnGrdReload};

void ExpectAll(const ManagerModel& model, const std::vector<Control>& controls, bool enabled) {
    for (const Control control : controls) {
        EXPECT_EQ(model.IsEnabled(control), enabled) << ControlName(control);
    }
}

TEST(Enabling, FirstShowingIsTheDefaultSettingState) {
    ManagerFixture f({"a,127.10.0.1"});
    f.Start();
    const ManagerModel& m = *f.model;
    ExpectAll(m, {Control::BtnReload, Control::BtnServerDel, Control::BtnGrdReload}, false);
    ExpectAll(m,
              {Control::BtnDefaultSet, Control::BtnGrdSave, Control::BtnLineCopy, Control::PagWatch,
               Control::ValLogIndex},
              true);
    EXPECT_FALSE(m.LogTabVisible());
    EXPECT_TRUE(m.WatchEditing());
    EXPECT_EQ(m.CurrentServer(), "DefaultSetting");
    EXPECT_EQ(m.SelectedNode(), m.ServerNode(0));
    EXPECT_EQ(m.ActivePage(), Page::Watch);
    ASSERT_FALSE(f.user.focus.empty());
    EXPECT_EQ(f.user.focus.back(), FocusTarget::Pane);
    EXPECT_EQ(f.requests.port, "4009");
    EXPECT_EQ(f.requests.user, "root");
    EXPECT_EQ(f.requests.password, "plumtree");
}

TEST(Enabling, SelectingEachKindOfServerNode) {
    ManagerFixture f({"a,127.10.0.1", "b,127.10.0.2"});
    f.Start();
    ManagerModel& m = *f.model;
    f.Load(1, AgentSetting({"/x"}, "alpha"));
    f.requests.files["127.10.0.1|/var/log/kv/20260307.log"] = "log\n";

    f.Select(1);  // loaded
    ExpectAll(m, {Control::BtnReload, Control::BtnServerDel, Control::BtnGrdReload}, true);
    EXPECT_FALSE(m.IsEnabled(Control::BtnDefaultSet));
    EXPECT_TRUE(m.LogTabVisible());
    EXPECT_TRUE(m.WatchEditing());
    EXPECT_EQ(m.Grid().CurrentColumn(), 1u);

    f.Select(2);  // not loaded: pages off, the log tab keeps its visibility
    EXPECT_FALSE(m.WatchEditing());
    ExpectAll(
        m,
        {Control::BtnGrdSave, Control::BtnGrdAllSave, Control::MenGrdSave, Control::PagWatch,
         Control::ValLogIndex, Control::BtnLineCopy, Control::MenLineDel, Control::BtnDefaultSet},
        false);
    ExpectAll(m, {Control::BtnReload, Control::BtnServerDel, Control::BtnGrdReload}, true);
    EXPECT_TRUE(m.LogTabVisible());
    EXPECT_EQ(m.Grid().CurrentColumn(), 2u);
    EXPECT_EQ(m.ServerNameText(), "b");

    f.Select(0);  // default setting
    EXPECT_TRUE(m.WatchEditing());
    ExpectAll(m, {Control::BtnReload, Control::BtnServerDel, Control::BtnGrdReload}, false);
    EXPECT_TRUE(m.IsEnabled(Control::BtnDefaultSet));
    EXPECT_FALSE(m.LogTabVisible());
}

TEST(Enabling, EditingSwitchWithOnlyTheDefaultSettingKeepsServerButtonsOff) {
    ManagerFixture f;
    f.Start();
    f.model->SetWatchEditing(false);
    f.model->SetWatchEditing(true);
    for (const Control control : kServerButtons) {
        EXPECT_FALSE(f.model->IsEnabled(control)) << ControlName(control);
    }
    EXPECT_TRUE(f.model->IsEnabled(Control::BtnGrdSave));
}

// Only the mail page takes the row commands away again when editing comes back on; the
// log page leaves the menu entries and the buttons to the switch.
TEST(Enabling, EditingSwitchedOnOnEachPage) {
    for (const auto& [page, rowsOn] : std::vector<std::pair<Page, bool>>{
             {Page::Watch, true}, {Page::Message, false}, {Page::Log, true}}) {
        SCOPED_TRACE(static_cast<int>(page));
        ManagerFixture f({"a,127.10.0.1"});
        f.Start();
        ManagerModel& m = *f.model;
        m.ChangePage(page);
        m.SetWatchEditing(false);
        ExpectAll(m, {Control::MenLineCopy, Control::BtnGrdSave, Control::ValLogIndex}, false);
        m.SetWatchEditing(true);
        ExpectAll(m, std::vector<Control>(kRowControls.begin(), kRowControls.end()), rowsOn);
        ExpectAll(m, {Control::MenLineCopy, Control::MenLinePast, Control::MenLineDel}, rowsOn);
        ExpectAll(m,
                  {Control::BtnGrdSave, Control::BtnGrdAllSave, Control::MenGrdSave,
                   Control::PagWatch, Control::ValLogIndex, Control::BtnReload,
                   Control::BtnServerDel, Control::BtnGrdReload},
                  true);
    }
}

TEST(Enabling, PageSwitchingTogglesTheRowButtonsOnly) {
    ManagerFixture f;
    f.Start();
    ManagerModel& m = *f.model;
    RecordingObserver observer;
    m.AddObserver(&observer);

    m.ChangePage(Page::Message);
    for (const Control control : kRowControls) {
        EXPECT_FALSE(m.IsEnabled(control)) << ControlName(control);
    }
    ExpectAll(m, {Control::MenLineCopy, Control::MenLinePast, Control::MenLineDel}, true);
    EXPECT_TRUE(Has(observer.seen, Change::ActivePage));
    EXPECT_FALSE(Has(observer.seen, Change::LogActivated));

    // Back on the watch page the buttons return even after the editing switch took them.
    m.SetWatchEditing(false);
    m.ChangePage(Page::Watch);
    for (const Control control : kRowControls) {
        EXPECT_TRUE(m.IsEnabled(control)) << ControlName(control);
    }

    observer.seen = 0;
    m.ChangePage(Page::Log);
    EXPECT_TRUE(Has(observer.seen, Change::LogActivated));
    EXPECT_FALSE(m.IsEnabled(Control::BtnImport));
    observer.seen = 0;
    m.ChangePage(Page::Log);
    EXPECT_EQ(observer.seen, 0u);
    m.RemoveObserver(&observer);
}

TEST(Enabling, HidingTheLogTabLeavesTheLogPage) {
    ManagerFixture f({"a,127.10.0.1"});
    f.Start();
    ManagerModel& m = *f.model;
    f.Load(1, AgentSetting({}, "a", ""));
    f.Select(1);
    m.ChangePage(Page::Log);
    f.Select(0);
    EXPECT_FALSE(m.LogTabVisible());
    EXPECT_EQ(m.ActivePage(), Page::Watch);
    EXPECT_TRUE(m.IsEnabled(Control::BtnLineCopy));
}

TEST(Enabling, TreePopupFollowsTheSelectedNode) {
    ManagerFixture f({"a,127.10.0.1"});
    f.Start();
    ManagerModel& m = *f.model;
    const NodeTree::Id file = FetchedBranch(m, 1, {"etc", "hosts"});
    const NodeTree::Id dir = m.Pane().Parent(file);
    const NodeTree::Id root = m.Pane().Parent(dir);
    const std::array popups{Control::PopMenu2, Control::PopMenu3, Control::PopMenu4,
                            Control::PopMenu5};

    for (const NodeTree::Id node : {m.ServerNode(1), root, dir, m.ServerNode(0)}) {
        m.SelectNode(node);
        m.OpenTreePopup();
        EXPECT_TRUE(m.IsEnabled(Control::PopMenu1));
        for (const Control control : popups) {
            EXPECT_FALSE(m.IsEnabled(control)) << ControlName(control);
        }
    }
    m.SelectNode(file);
    m.OpenTreePopup();
    for (const Control control : popups) {
        EXPECT_TRUE(m.IsEnabled(control)) << ControlName(control);
    }
}

TEST(Enabling, BusyWindowRunsNoCommand) {
    ManagerFixture f;
    f.Start();
    f.model->SetMainWindowEnabled(false);
    f.model->Execute(CommandId::Version);
    EXPECT_EQ(f.user.versionShown, 0);
    f.model->SetMainWindowEnabled(true);
    f.model->Execute(CommandId::Version);
    EXPECT_EQ(f.user.versionShown, 1);
}

}  // namespace
}  // namespace kv::test

#include <gtest/gtest.h>

#include "Fakes.h"
#include "text/Cp932.h"

using namespace kv::text;

namespace kv::test {
namespace {

class Switching : public ::testing::Test {
protected:
    ManagerFixture f{{"a,127.10.0.1", "b,127.10.0.2", "c,127.10.0.3"}};
    ManagerModel* m = nullptr;

    void SetUp() override {
        f.Start();
        m = &*f.model;
        f.Load(1, AgentSetting({"/a1", "/a2"}, "alpha"));
        f.Load(2, AgentSetting({"/b1"}, "beta"));
    }
};

TEST_F(Switching, EditsSurviveSwitchingAwayAndBack) {
    f.Select(1);
    EXPECT_EQ(m->Grid().Cell(2, 1), "/a2");
    ASSERT_TRUE(m->EditCell(2, 2, "changed"));
    ASSERT_TRUE(m->EditSubject("new subject"));
    f.Select(2);
    EXPECT_EQ(m->Grid().Cell(1, 1), "/b1");
    EXPECT_EQ(m->Grid().Cell(2, 1), "");
    EXPECT_EQ(m->Mail().MailSubject, "subj");
    f.Select(1);
    EXPECT_EQ(m->Grid().Cell(2, 2), "changed");
    EXPECT_EQ(m->Mail().MailSubject, "new subject");
    EXPECT_EQ(m->Mail().MailBody, "l1\r\nl2");
    EXPECT_EQ(m->CurrentServer(), "127.10.0.1");
}

TEST_F(Switching, DefaultEditsAreCapturedIntoEntryZero) {
    m->EditCell(1, 1, "/d");
    f.Select(1);
    EXPECT_EQ(m->Servers().Entry(0).SettingText.rfind("\"/d\",", 0), 0u);
    f.Select(0);
    EXPECT_EQ(m->Grid().Cell(1, 1), "/d");
    EXPECT_EQ(m->ServerNameText(), "DefaultSetting");
}

TEST_F(Switching, MailLineRenamesTheServer) {
    f.Select(1);
    EXPECT_EQ(m->ServerNameText(), "alpha");
    EXPECT_EQ(m->Servers().Entry(1).ServerName, "alpha");
}

TEST_F(Switching, MovingWithinOneServerChangesNothing) {
    const NodeTree::Id file = FetchedBranch(*m, 1, {"hosts"});
    f.Select(1);
    m->EditCell(1, 2, "kept in grid only");
    m->SelectNode(file);
    EXPECT_EQ(m->Grid().Cell(1, 2), "kept in grid only");
    EXPECT_EQ(m->Servers().Entry(1).SettingText, AgentSetting({"/a1", "/a2"}, "alpha"));
    // A directory node of another server switches to that server.
    m->SelectNode(FetchedBranch(*m, 2, {}));
    EXPECT_EQ(m->CurrentServer(), "127.10.0.2");
}

TEST_F(Switching, NotLoadedServerShowsItsNameAndEmptyDisabledPages) {
    f.Select(1);
    f.Select(3);
    EXPECT_EQ(m->ServerNameText(), "c");
    EXPECT_EQ(m->Grid().Cell(1, 1), "");
    EXPECT_EQ(m->Mail().MailSubject, "");
    EXPECT_FALSE(m->WatchEditing());
    EXPECT_EQ(m->Pane().PictureOf(m->ServerNode(3)), Picture::ServerNotLoaded);
}

TEST_F(Switching, LogComesFromTheAgentOnceThenFromTheCache) {
    f.requests.files["127.10.0.2|/var/log/kv/20260307.log"] = "one\ntwo";
    f.Select(2);
    EXPECT_EQ(m->LogText(), "one\r\ntwo\r\n");
    ASSERT_EQ(f.requests.fileRequests.size(), 1u);
    EXPECT_EQ(m->Servers().Entry(2).CachedLog, "one\ntwo");
    EXPECT_EQ(m->LogIndex(), 0u);
    EXPECT_EQ(m->LogPaths()[1], "/var/log/kv/20260306.log");

    f.Select(0);
    f.Select(2);
    EXPECT_EQ(f.requests.fileRequests.size(), 1u);
    EXPECT_EQ(m->LogText(), "one\r\ntwo\r\n");
}

TEST_F(Switching, FailedLogFetchIsReportedAndRetriedNextTime) {
    f.Select(2);
    ASSERT_EQ(f.user.errors.size(), 1u);
    EXPECT_EQ(m->Grid().Cell(1, 1), "/b1");  // rows were shown before the log
    EXPECT_FALSE(m->Servers().Entry(2).CachedLog.has_value());

    f.requests.files["127.10.0.2|/var/log/kv/20260307.log"] = "late";
    f.Select(0);
    f.Select(2);
    EXPECT_EQ(m->LogText(), "late\r\n");
}

TEST_F(Switching, FirstShowOfAnUnloadedServerMarksItLoaded) {
    // A setting already present (e.g. from discovery plus a fetch elsewhere) is shown by
    // ShowWatchSetting, which marks the node.
    m->SetSettingText(3, AgentSetting({"/c"}, "gamma", ""));
    m->ShowWatchSetting(m->ServerNode(3), 3);
    EXPECT_EQ(m->Pane().PictureOf(m->ServerNode(3)), Picture::ServerLoaded);
}

TEST_F(Switching, LogDayChoiceAsksTheShownServersOwnPaths) {
    f.Select(1);
    f.requests.files["127.10.0.1|/var/log/kv/20260305.log"] = "two days ago";
    m->ChooseLogDay(2);
    EXPECT_EQ(m->LogText(), "two days ago\r\n");
    m->ChooseLogDay(3);
    EXPECT_EQ(m->LogText(), Sjis("ログファイルが存在しない可能性があります。"));
    EXPECT_EQ(m->LogIndex(), 3u);
    EXPECT_TRUE(f.user.messages.empty());
}

TEST_F(Switching, SettingWithMoreRowsThanTheGridKeepsHiddenRowsUnlessAgreed) {
    std::vector<std::string> files;
    for (int i = 1; i <= 130; ++i) {
        files.push_back("/f" + std::to_string(i));
    }
    f.Load(1, AgentSetting(files, "alpha", ""));
    f.Select(1);
    ASSERT_EQ(f.user.messages.size(), 1u);
    EXPECT_EQ(m->HiddenRowCount(), 2u);
    EXPECT_EQ(m->Grid().Cell(128, 1), "/f128");

    f.user.okAnswers = {false};  // keep them
    f.Select(2);
    const std::string& kept = m->Servers().Entry(1).SettingText;
    EXPECT_NE(kept.find("\"/f130\""), std::string::npos);

    f.Select(1);
    f.user.okAnswers = {true};  // drop them
    f.Select(2);
    EXPECT_EQ(m->Servers().Entry(1).SettingText.find("\"/f129\""), std::string::npos);
    EXPECT_NE(m->Servers().Entry(1).SettingText.find("\"/f128\""), std::string::npos);
    EXPECT_EQ(f.user.questions.size(), 2u);
}

TEST_F(Switching, SaveOfARemoteServerUploadsTheCapturedGrid) {
    f.Select(1);
    m->EditCell(1, 3, "9");
    m->Execute(CommandId::GrdSave);
    EXPECT_EQ(f.user.questions.back(),
              Sjis("設定情報を選択されているリモートサーバへ保存します。\r\nよろしいですか？"));
    ASSERT_EQ(f.requests.posts.size(), 1u);
    EXPECT_EQ(f.requests.posts[0].second[0], "\"/a1\",\"err\",\"9\",\"a@b\",\"\"");
    EXPECT_EQ(f.user.focus.front(), FocusTarget::Pane);
    EXPECT_NE(std::find(f.user.focus.begin(), f.user.focus.end(), FocusTarget::GridToolBar),
              f.user.focus.end());
}

class Deleting : public Switching {
protected:
    // A second entry of the first server's address, loaded (a Server.csv written by hand).
    NodeTree::Id AddDuplicateOfTheFirst() {
        m->AddDiscoveredServers([](ServerList& servers) {
            return std::vector<std::size_t>{
                *servers.AddFetched("127.10.0.1", "", AgentSetting({"/dup"}, "dup"))};
        });
        const NodeTree::Id dup = m->ServerNode(m->Servers().Count() - 1);
        m->MarkLoaded(dup);
        return dup;
    }
};

TEST_F(Deleting, SecondOfThreeKeepsTableAddressesAndPaneInStep) {
    f.requests.files["127.10.0.1|/var/log/kv/20260307.log"] = "log a";
    f.Select(1);
    m->SetTreeText(3, "tree c");
    f.Select(2);
    m->EditCell(1, 1, "unsaved");
    m->Execute(CommandId::ServerDel);
    EXPECT_EQ(f.user.questions.back(),
              Sjis("サーバ一覧から ") + "127.10.0.2" + Sjis("を削除します。\r\nよろしいですか？"));
    EXPECT_EQ(m->Servers().Addresses(),
              (std::vector<std::string>{"DefaultSetting", "127.10.0.1", "127.10.0.3"}));
    ASSERT_EQ(m->Pane().ChildCount(NodeTree::kNone), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(m->Pane().Caption(m->ServerNode(i)), m->Servers().Entry(i).IPAddress);
    }
    EXPECT_EQ(m->Servers().Entry(2).TreeText, "tree c");
    // The neighbour (now at the same position) is shown with its own entry.
    EXPECT_EQ(m->SelectedNode(), m->ServerNode(2));
    EXPECT_EQ(m->CurrentServer(), "127.10.0.3");
    EXPECT_EQ(m->ServerNameText(), "c");

    f.Select(1);
    EXPECT_EQ(m->Grid().Cell(1, 1), "/a1");
    EXPECT_EQ(m->Servers().Entry(1).CachedLog, "log a");
}

TEST_F(Deleting, LastServerSelectsThePreviousOne) {
    f.Select(3);
    m->Execute(CommandId::ServerDel);
    EXPECT_EQ(m->CurrentServer(), "127.10.0.2");
    EXPECT_EQ(m->Grid().Cell(1, 1), "/b1");
}

TEST_F(Deleting, CancelOrDefaultNodeChangesNothing) {
    f.Select(1);
    f.user.okAnswers = {false};
    m->Execute(CommandId::ServerDel);
    EXPECT_EQ(m->Servers().Count(), 4u);
    f.Select(0);
    const std::size_t asked = f.user.questions.size();
    m->Execute(CommandId::ServerDel);
    EXPECT_EQ(f.user.questions.size(), asked);
    EXPECT_EQ(m->Servers().Count(), 4u);
}

TEST_F(Deleting, DuplicateAddressDeletesTheSecondWithoutTouchingTheFirst) {
    const NodeTree::Id dup = AddDuplicateOfTheFirst();
    f.Select(1);
    m->EditCell(1, 1, "first edited");
    m->SelectNode(dup);  // same caption: still the first server's pages
    m->Execute(CommandId::ServerDel);
    EXPECT_EQ(m->Servers().Addresses(), (std::vector<std::string>{"DefaultSetting", "127.10.0.1",
                                                                  "127.10.0.2", "127.10.0.3"}));
    EXPECT_EQ(m->Pane().ChildCount(NodeTree::kNone), 4u);
    EXPECT_EQ(m->CurrentServer(), "127.10.0.3");
    // The pages were the first server's: its edit is kept, not dropped with the duplicate.
    EXPECT_NE(m->Servers().Entry(1).SettingText.find("first edited"), std::string::npos);
}

TEST_F(Deleting, DuplicateAddressDeletingTheShownOneDoesNotOverwriteTheOther) {
    AddDuplicateOfTheFirst();
    f.Select(1);
    m->EditCell(1, 1, "edited then deleted");
    m->Execute(CommandId::ServerDel);
    EXPECT_EQ(m->Servers().Entry(3).SettingText, AgentSetting({"/dup"}, "dup"));
    EXPECT_EQ(m->CurrentServer(), "127.10.0.2");
}

}  // namespace
}  // namespace kv::test

#include <gtest/gtest.h>

#include "Fakes.h"
#include "text/Cp932.h"

using namespace kv::text;

namespace kv::test {
namespace {

WatchRow Numbered(int n) {
    const std::string s = std::to_string(n);
    return {"/f" + s, "w" + s, s, "m" + s, "c" + s};
}

class GridCommands : public ::testing::Test {
protected:
    ManagerFixture f{{"a,127.10.0.1", "b,127.10.0.2"}};
    ManagerModel* m = nullptr;
    NodeTree::Id file = NodeTree::kNone;
    NodeTree::Id dir = NodeTree::kNone;

    void SetUp() override {
        f.Start();
        m = &*f.model;
        file = FetchedBranch(*m, 1, {"var", "log", "messages"});
        dir = m->Pane().Parent(file);
    }

    void FillRows(int count) {
        for (int r = 1; r <= count; ++r) {
            const WatchRow row = Numbered(r);
            m->EditCell(r, 1, row.FileName);
            m->EditCell(r, 2, row.SearchString);
            m->EditCell(r, 3, row.SearchCount);
            m->EditCell(r, 4, row.MailAddress);
            m->EditCell(r, 5, row.Command);
        }
    }
};

TEST_F(GridCommands, CopyOnOneServerPasteOnAnother) {
    f.Load(1, AgentSetting({"/a1"}, "alpha", ""));
    f.Load(2, AgentSetting({"/b1", "/b2"}, "beta", ""));
    f.Select(1);
    m->Execute(CommandId::LinePast);  // empty buffer: nothing
    EXPECT_EQ(m->Grid().Cell(1, 1), "/a1");
    m->Execute(CommandId::LineCopy);
    EXPECT_EQ(m->LineCopyBuffer(), (std::vector<std::string>{"/a1", "err", "1", "a@b", ""}));
    f.Select(2);
    m->SetCurrentCell(2, 4);
    m->Execute(CommandId::LinePast);
    EXPECT_EQ(m->Grid().Row(2), (WatchRow{"/a1", "err", "1", "a@b", ""}));
    EXPECT_EQ(m->Grid().Cell(1, 1), "/b1");
}

TEST_F(GridCommands, DeleteRowShiftsUpAndEmptiesTheLast) {
    FillRows(128);
    m->SetCurrentCell(1, 3);
    m->Execute(CommandId::LineDel);
    EXPECT_EQ(m->Grid().Row(1), Numbered(2));
    EXPECT_EQ(m->Grid().Row(127), Numbered(128));
    EXPECT_EQ(m->Grid().Row(128), WatchRow{});
    EXPECT_EQ(f.user.busyDepth, 0);
    EXPECT_GT(f.user.busyCalls, 0);

    m->SetCurrentCell(128, 1);
    m->EditCell(128, 1, "/last");
    m->Execute(CommandId::LineDel);
    EXPECT_EQ(m->Grid().Row(128), WatchRow{});
    EXPECT_EQ(m->Grid().Row(127), Numbered(128));
}

TEST_F(GridCommands, TreePathsGoToTheCurrentRowOrTheFirstFreeRow) {
    m->SelectNode(file);
    FillRows(3);
    m->EditCell(2, 1, "");
    m->SetCurrentCell(3, 2);

    m->Execute(CommandId::TreeReplaceFile);
    EXPECT_EQ(m->Grid().Cell(3, 1), "/var/log/messages");
    m->Execute(CommandId::TreeReplaceCommand);
    EXPECT_EQ(m->Grid().Cell(3, 5), "/var/log/messages");
    m->Execute(CommandId::TreeAddFile);
    EXPECT_EQ(m->Grid().Cell(2, 1), "/var/log/messages");
    m->Execute(CommandId::TreeAddFile);
    EXPECT_EQ(m->Grid().Cell(4, 1), "/var/log/messages");
    EXPECT_EQ(m->ActivePage(), ManagerModel::Page::Watch);
}

TEST_F(GridCommands, PopupCommandReturnsToTheWatchPage) {
    m->SelectNode(file);
    m->ChangePage(ManagerModel::Page::Message);
    m->Execute(CommandId::TreeAddFile);
    EXPECT_EQ(m->ActivePage(), ManagerModel::Page::Watch);
}

TEST_F(GridCommands, DropFollowsTheCurrentColumn) {
    m->SelectNode(dir);
    EXPECT_FALSE(m->CanDropOnGrid());
    m->DropOnGrid();
    EXPECT_EQ(m->Grid().FirstFreeRow(), 1u);

    m->SelectNode(file);
    ASSERT_TRUE(m->CanDropOnGrid());
    m->EditCell(1, 1, "/taken");
    m->SetCurrentCell(5, 5);
    m->DropOnGrid();
    EXPECT_EQ(m->Grid().Cell(5, 5), "/var/log/messages");
    m->SetCurrentCell(6, 1);
    m->DropOnGrid();
    EXPECT_EQ(m->Grid().Cell(6, 1), "/var/log/messages");
    m->SetCurrentCell(7, 3);  // any other column: first free row, never the count cell
    m->DropOnGrid();
    EXPECT_EQ(m->Grid().Cell(2, 1), "/var/log/messages");
    EXPECT_EQ(m->Grid().Cell(7, 3), "");
}

TEST_F(GridCommands, AllRowsFullRefusesToAddAndChangesNothing) {
    m->SelectNode(file);
    FillRows(128);
    m->SetCurrentCell(4, 2);
    m->Execute(CommandId::TreeAddFile);
    m->DropOnGrid();
    ASSERT_EQ(f.user.messages.size(), 2u);
    for (int r = 1; r <= 128; ++r) {
        ASSERT_EQ(m->Grid().Row(r), Numbered(r));
    }
}

TEST_F(GridCommands, PathCommandsOnANonFileNodeDoNothing) {
    m->SelectNode(dir);
    m->Execute(CommandId::TreeReplaceFile);
    m->Execute(CommandId::TreeAddFile);
    EXPECT_EQ(m->Grid().FirstFreeRow(), 1u);
    EXPECT_TRUE(f.user.messages.empty());
}

TEST_F(GridCommands, RefusedInput) {
    m->EditCell(1, 1, "ok");
    EXPECT_FALSE(m->EditCell(1, 1, "say \"hi\""));
    EXPECT_FALSE(m->EditCell(1, 2, "two\r\nlines"));
    EXPECT_FALSE(m->EditCell(1, 2, "lf\nonly"));
    EXPECT_EQ(m->Grid().Cell(1, 1), "ok");
    EXPECT_EQ(m->Grid().Cell(1, 2), "");
    EXPECT_TRUE(m->EditCell(1, 2, "tab\tand, comma"));
    // Pasted or composed text keeps only the count column's digits.
    EXPECT_TRUE(m->EditCell(1, 3, "1a2" + Sjis("３") + " 0"));
    EXPECT_EQ(m->Grid().Cell(1, 3), "120");

    EXPECT_FALSE(m->EditSubject("a\"b"));
    EXPECT_FALSE(m->EditSubject("a\nb"));
    EXPECT_FALSE(m->EditBody("a\tb"));
    EXPECT_FALSE(m->EditBody("\""));
    EXPECT_FALSE(m->EditSmtpServer("x\r"));
    EXPECT_FALSE(m->EditFromAddress("\"@x"));
    EXPECT_EQ(f.user.messages.size(), 9u);
    EXPECT_EQ(f.user.messages[0], Sjis("ダブルクォーテーション（\"）は入力できません。"));
    EXPECT_EQ(m->Mail(), MailSetting{});

    EXPECT_TRUE(m->EditBody("a\rb\nc\r\nd"));
    EXPECT_EQ(m->Mail().MailBody, "a\r\nb\r\nc\r\nd");

    // What is accepted reads back the same after a capture and a show.
    f.Select(1);
    f.Select(0);
    EXPECT_EQ(m->Grid().Cell(1, 2), "tab\tand, comma");
    EXPECT_EQ(m->Mail().MailBody, "a\r\nb\r\nc\r\nd");
}

TEST_F(GridCommands, CountColumnTakesDigitsAndBackspaceOnly) {
    EXPECT_TRUE(WatchGrid::AcceptsTypedKey(3, U'7'));
    EXPECT_TRUE(WatchGrid::AcceptsTypedKey(3, U'\b'));
    EXPECT_FALSE(WatchGrid::AcceptsTypedKey(3, U'a'));
    EXPECT_FALSE(WatchGrid::AcceptsTypedKey(3, U'-'));
    EXPECT_FALSE(WatchGrid::AcceptsTypedKey(3, U'１'));
    EXPECT_TRUE(WatchGrid::AcceptsTypedKey(2, U'-'));
}

class ImportExport : public GridCommands {};

TEST_F(ImportExport, ImportReplacesGridAndEmptiesMailPage) {
    f.dir.Write("in.csv",
                "\"Command\",\"SearchCount\",\"FileName\",\"Extra\"\r\n"
                "\"c1\",\"1\",\"/one\",\"x\"\r\n"
                "\"c2\",\"0\",\"/bad\",\"x\"\r\n"
                "\"c3\",\"$10\",\"/three\",\"x\"\r\n");
    FillRows(5);
    m->EditSubject("will go");
    f.user.openNames = {f.dir.File("in.csv")};
    m->Execute(CommandId::Import);
    EXPECT_EQ(m->Grid().Row(1), (WatchRow{"/one", "", "1", "", "c1"}));
    EXPECT_EQ(m->Grid().Row(2), (WatchRow{"/three", "", "$10", "", "c3"}));
    EXPECT_EQ(m->Grid().Row(3), WatchRow{});
    EXPECT_EQ(m->Mail().MailSubject, "");
    EXPECT_EQ(m->ServerNameText(), "");
    ASSERT_EQ(f.user.messages.size(), 1u);
    EXPECT_EQ(
        f.user.messages[0],
        Sjis("インポート処理が、終了しました。\r\n全レコード件数\t\t3\r\nインポート件数\t\t2\r\n"
             "エラー件数\t\t1\t2\t1"));
    ASSERT_EQ(f.user.dialogs.size(), 1u);
    EXPECT_EQ(f.user.dialogs[0].DefaultExtension, "csv");
    ASSERT_EQ(f.user.dialogs[0].Filters.size(), 3u);
    EXPECT_EQ(f.user.dialogs[0].Filters[1].Pattern, "*.txt");
    EXPECT_EQ(f.user.busyDepth, 0);

    // The next dialog proposes the last name with the extension .csv.
    f.dir.Write("list.txt", "");
    f.user.openNames = {std::nullopt};
    f.user.openNames.front().reset();
    m->Execute(CommandId::Import);
    EXPECT_EQ(f.user.dialogs.back().FileName, f.dir.File("in.csv"));
}

TEST_F(ImportExport, CancelledConfirmationOrDialogChangesNothing) {
    FillRows(2);
    f.user.okAnswers = {false};
    m->Execute(CommandId::Import);
    EXPECT_TRUE(f.user.dialogs.empty());
    m->Execute(CommandId::Import);  // dialog cancelled
    EXPECT_EQ(m->Grid().Row(2), Numbered(2));
    EXPECT_TRUE(f.user.messages.empty());
}

TEST_F(ImportExport, ExportWritesNonEmptyRowsAndReadsBack) {
    FillRows(5);
    m->EditCell(3, 1, "");
    m->EditCell(4, 1, "");
    f.user.saveNames = {f.dir.File("out.txt")};
    m->Execute(CommandId::Export);
    ASSERT_EQ(f.user.messages.size(), 1u);
    EXPECT_EQ(f.user.messages[0], Sjis("エクスポートが終了しました。\r\nエクスポート件数\t3"));
    EXPECT_EQ(
        f.dir.Read("out.txt").rfind(
            "\"FileName\",\"SearchString\",\"SearchCount\",\"MailAddress\",\"Command\"\r\n", 0),
        0u);

    f.user.saveNames = {std::nullopt};
    m->Execute(CommandId::Export);
    EXPECT_EQ(f.user.dialogs.back().FileName, f.dir.File("out.csv"));

    f.user.openNames = {f.dir.File("out.txt")};
    m->Execute(CommandId::Import);
    EXPECT_EQ(m->Grid().Row(1), Numbered(1));
    EXPECT_EQ(m->Grid().Row(2), Numbered(2));
    EXPECT_EQ(m->Grid().Row(3), Numbered(5));
    EXPECT_EQ(m->Grid().Row(4), WatchRow{});
}

TEST_F(ImportExport, FailedExportIsReportedWithoutTheCountMessage) {
    f.user.saveNames = {f.dir.File("missing/dir/out.csv")};
    m->Execute(CommandId::Export);
    EXPECT_EQ(f.user.errors.size(), 1u);
    EXPECT_TRUE(f.user.messages.empty());
    EXPECT_EQ(f.user.busyDepth, 0);
}

}  // namespace
}  // namespace kv::test

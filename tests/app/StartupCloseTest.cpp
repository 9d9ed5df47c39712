#include <gtest/gtest.h>
#include <sys/stat.h>

#include "Fakes.h"
#include "settings/DataDirectory.h"
#include "store/InOutError.h"
#include "support/TmpfsMount.h"
#include "text/Cp932.h"

using namespace kv::text;
using namespace kv::store;
using namespace kv::settings;

namespace kv::test {
namespace {

TEST(Startup, FillsServerTablePaneAndDefaultSetting) {
    ManagerFixture f({"web,127.168.0.10", "db,127.168.0.11"},
                     "\"/var/log/a\",\"ERR\",\"2\",\"m@x\",\"cmd\"\r\n",
                     "\"Subj\",\"one\ttwo\",\"smtp.x\",\"me@x\"\r\n");
    f.Start();
    const ManagerModel& m = *f.model;
    EXPECT_EQ(m.Servers().Addresses(),
              (std::vector<std::string>{"DefaultSetting", "127.168.0.10", "127.168.0.11"}));
    ASSERT_EQ(m.Pane().ChildCount(NodeTree::kNone), 3u);
    EXPECT_EQ(m.Pane().PictureOf(m.ServerNode(0)), Picture::DefaultSetting);
    EXPECT_EQ(m.Pane().SelectedPictureOf(m.ServerNode(0)), Picture::DefaultSetting);
    EXPECT_EQ(m.Pane().PictureOf(m.ServerNode(1)), Picture::ServerNotLoaded);
    EXPECT_EQ(m.Pane().Caption(m.ServerNode(2)), "127.168.0.11");
    EXPECT_EQ(m.CurrentServer(), "DefaultSetting");
    EXPECT_EQ(m.ServerNameText(), "DefaultSetting");
    EXPECT_EQ(m.Grid().Cell(1, 1), "/var/log/a");
    EXPECT_EQ(m.Grid().Cell(1, 5), "cmd");
    EXPECT_EQ(m.Mail().MailBody, "one\r\ntwo");
    EXPECT_EQ(m.Mail().SMTPServer, "smtp.x");
    EXPECT_EQ(m.Servers().Entry(0).SettingText,
              "\"/var/log/a\",\"ERR\",\"2\",\"m@x\",\"cmd\"\r\n"
              "\"Subj\",\"one\ttwo\",\"smtp.x\",\"me@x\",\"DefaultSetting\"\r\n\r\n");
    EXPECT_TRUE(m.LineCopyBuffer().empty());
}

TEST(Startup, MissingDefaultFilesGiveAnEmptyDefault) {
    TempDir dir;
    dir.Write("Server.csv",
              "\"ServerName\",\"IPAddress\"\r\n\"DefaultSetting\",\"DefaultSetting\"\r\n");
    ScriptedUser user;
    ManagerModel m(user, dir.Path() + "/");
    m.FormCreate();
    m.FormShow();
    EXPECT_EQ(m.Grid().Cell(1, 1), "");
    EXPECT_EQ(m.Servers().Entry(0).SettingText, "\"\",\"\",\"\",\"\",\"DefaultSetting\"\r\n\r\n");
    EXPECT_TRUE(user.messages.empty());
}

TEST(Startup, DefaultRowsBeyondTheGridAreAnnouncedAndKeptOnSave) {
    std::string rows;
    for (int i = 1; i <= 130; ++i) {
        rows += "\"/f" + std::to_string(i) + "\",\"s\",\"1\",\"m\",\"c\"\r\n";
    }
    ManagerFixture f({}, rows);
    f.Start();
    ASSERT_EQ(f.user.messages.size(), 1u);
    EXPECT_NE(f.user.messages[0].find("130"), std::string::npos);
    EXPECT_EQ(f.model->Grid().Cell(128, 1), "/f128");

    f.model->Execute(CommandId::GrdSave);
    for (int i = 0; i < 120; ++i) {
        f.model->Execute(CommandId::LineDel);
    }
    f.model->Execute(CommandId::GrdSave);
    f.model->Execute(CommandId::GrdSave);
    const std::string saved = f.dir.Read("Kestrelview.cnf");
    EXPECT_NE(saved.find("/f129"), std::string::npos);
    EXPECT_NE(saved.find("/f130"), std::string::npos);
    EXPECT_EQ(saved.find("/f1\""), std::string::npos);
    EXPECT_NE(saved.find("/f128"), std::string::npos);
}

TEST(Startup, DataDirectoryChoice) {
    const std::string exe = "/opt/kv/bin/kestrelview";
    EXPECT_EQ(ResolveDataDirectory({}, std::nullopt, exe), "/opt/kv/bin/");
    EXPECT_EQ(ResolveDataDirectory({}, std::string("/srv/env"), exe), "/srv/env/");
    EXPECT_EQ(ResolveDataDirectory({"--data-dir", "/srv/opt/"}, std::string("/srv/env"), exe),
              "/srv/opt/");
    EXPECT_EQ(ResolveDataDirectory({"-x", "--data-dir=/srv/eq"}, std::nullopt, exe), "/srv/eq/");
    EXPECT_EQ(ResolveDataDirectory({}, std::string(""), exe), "/opt/kv/bin/");
    EXPECT_THROW(ResolveDataDirectory({"--data-dir"}, std::nullopt, exe), std::invalid_argument);
    EXPECT_THROW(ResolveDataDirectory({"--data-dir="}, std::nullopt, exe), std::invalid_argument);
    EXPECT_FALSE(ExecutablePath().empty());
}

TEST(Startup, FirstRunFilesAreCreatedOnlyWhenMissing) {
    TempDir dir;
    dir.Write("env.csv", "keep me");
    CreateFirstRunFiles(dir.Path());
    EXPECT_EQ(dir.Read("env.csv"), "keep me");
    EXPECT_EQ(dir.Read("Server.csv"),
              "\"ServerName\",\"IPAddress\"\r\n\"DefaultSetting\",\"DefaultSetting\"\r\n");
    EXPECT_EQ(dir.Read("Kestrelview.cnf"),
              "\"FileName\",\"SearchString\",\"SearchCount\",\"MailAddress\",\"Command\"\r\n");

    dir.Write("Server.csv", "mine");
    CreateFirstRunFiles(dir.Path() + "/");
    EXPECT_EQ(dir.Read("Server.csv"), "mine");

    std::remove(dir.File("env.csv").c_str());
    CreateFirstRunFiles(dir.Path());
    ScriptedUser user;
    dir.Write("Server.csv",
              "\"ServerName\",\"IPAddress\"\r\n\"DefaultSetting\",\"DefaultSetting\"\r\n");
    ManagerModel m(user, dir.Path() + "/");
    m.FormCreate();
    EXPECT_EQ(m.Servers().Count(), 1u);
    EXPECT_EQ(m.Mail().MailSubject, "");

    EXPECT_THROW(CreateFirstRunFiles(dir.Path() + "/no/such/dir"), EInOutError);
}

ino_t Inode(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0);
    return info.st_ino;
}

class CloseQuestion : public ::testing::Test {
protected:
    const std::string original =
        "\"ServerName\",\"IPAddress\"\r\n\"DefaultSetting\",\"DefaultSetting\"\r\n"
        "\"web\",\"127.10.0.1\"\r\n";
    ManagerFixture f;

    void SetUp() override {
        f.dir.Write("Server.csv", original);
        f.Start();
    }
};

TEST_F(CloseQuestion, YesRewritesEvenWhenNothingChanged) {
    const ino_t before = Inode(f.dir.File("Server.csv"));
    f.user.yesNoAnswers = {YesNoCancel::Yes};
    EXPECT_TRUE(f.model->FormCloseQuery());
    EXPECT_NE(Inode(f.dir.File("Server.csv")), before);
    EXPECT_EQ(f.dir.Read("Server.csv"), original);
    ASSERT_EQ(f.user.questions.size(), 1u);
    EXPECT_EQ(f.user.questions[0], Sjis("サーバ一覧を保存して終了しますか？\r\n"
                                        "「No」を選択すると設定を保存せずに終了します。\r\n"
                                        "よろしいですか？"));
}

TEST_F(CloseQuestion, YesSavesNamesLearnedFromAgents) {
    f.Load(1, AgentSetting({}, "renamed", ""));
    f.Select(1);
    f.user.yesNoAnswers = {YesNoCancel::Yes};
    EXPECT_TRUE(f.model->FormCloseQuery());
    EXPECT_NE(f.dir.Read("Server.csv").find("\"renamed\",\"127.10.0.1\""), std::string::npos);
}

TEST_F(CloseQuestion, NoLeavesServerListByteForByte) {
    f.Load(1, AgentSetting({}, "renamed", ""));
    f.Select(1);
    f.user.yesNoAnswers = {YesNoCancel::No};
    EXPECT_TRUE(f.model->FormCloseQuery());
    EXPECT_EQ(f.dir.Read("Server.csv"), original);
}

TEST_F(CloseQuestion, CancelKeepsEverything) {
    ManagerModel& m = *f.model;
    m.EditCell(3, 2, "typed");
    m.Execute(CommandId::LineCopy);
    f.user.yesNoAnswers = {YesNoCancel::Cancel};
    EXPECT_FALSE(m.FormCloseQuery());
    EXPECT_EQ(f.dir.Read("Server.csv"), original);
    EXPECT_EQ(m.Grid().Cell(3, 2), "typed");
    EXPECT_EQ(m.Servers().Count(), 2u);
    EXPECT_EQ(m.LineCopyBuffer().size(), 5u);
    EXPECT_TRUE(f.user.messages.empty());
}

TEST(CloseQuestionFailure, FailedSaveKeepsTheWindowAndTheOldFile) {
    TmpfsMount mount(64 * 1024);
    KV_SKIP_UNLESS_MOUNTED(mount);
    const std::string original =
        "\"ServerName\",\"IPAddress\"\r\n\"DefaultSetting\",\"DefaultSetting\"\r\n";
    {
        FILE* out = std::fopen(mount.File("Server.csv").c_str(), "wb");
        ASSERT_NE(out, nullptr);
        std::fwrite(original.data(), 1, original.size(), out);
        std::fclose(out);
    }
    ScriptedUser user;
    ManagerModel m(user, mount.Path() + "/");
    m.FormCreate();
    m.FormShow();
    m.AddDiscoveredServers([](ServerList& servers) {
        std::vector<std::size_t> added;
        for (int i = 0; i < 200; ++i) {
            added.push_back(
                *servers.AddDiscovered("127.10.0." + std::to_string(i), std::string(400, 'n')));
        }
        return added;
    });
    mount.Fill();
    user.yesNoAnswers = {YesNoCancel::Yes};
    EXPECT_FALSE(m.FormCloseQuery());
    ASSERT_EQ(user.messages.size(), 1u);
    EXPECT_EQ(user.messages[0], Sjis("システムエラーが発生いたしました。（FormCloseQuery)"));
    FILE* in = std::fopen(mount.File("Server.csv").c_str(), "rb");
    ASSERT_NE(in, nullptr);
    std::string back(1024, '\0');
    back.resize(std::fread(back.data(), 1, back.size(), in));
    std::fclose(in);
    EXPECT_EQ(back, original);
}

TEST(FrameCommands, SaveServerListAsksAndReportsFailure) {
    ManagerFixture f({"web,127.10.0.1"});
    f.Start();
    const std::string before = f.dir.Read("Server.csv");
    f.Load(1, AgentSetting({}, "renamed", ""));
    f.Select(1);

    f.user.okAnswers = {false};
    f.model->Execute(CommandId::Save);
    EXPECT_EQ(f.dir.Read("Server.csv"), before);
    EXPECT_EQ(f.user.questions.back(), Sjis("サーバ一覧を保存します。\r\nよろしいですか？"));

    f.model->Execute(CommandId::Save);
    EXPECT_NE(f.dir.Read("Server.csv").find("\"renamed\",\"127.10.0.1\""), std::string::npos);

    std::string blocker = f.dir.File("Server.csv");
    std::remove(blocker.c_str());
    ::mkdir(blocker.c_str(), 0700);  // a directory where the file should go: the rename fails
    f.model->Execute(CommandId::Save);
    EXPECT_EQ(f.user.errors.size(), 1u);
}

TEST(FrameCommands, ExitHelpAndVersionGoThroughThePorts) {
    ManagerFixture f;
    f.Start();
    f.model->Execute(CommandId::Close);
    EXPECT_EQ(f.user.closeRequests, 1);
    f.model->Execute(CommandId::Help);
    ASSERT_EQ(f.user.webPages.size(), 1u);
    EXPECT_TRUE(f.user.webPages[0].ends_with("support.html"));
    f.model->Execute(CommandId::Version);
    EXPECT_EQ(f.user.versionShown, 1);
}

}  // namespace
}  // namespace kv::test

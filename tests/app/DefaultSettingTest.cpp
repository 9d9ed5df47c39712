#include <gtest/gtest.h>
#include <sys/stat.h>

#include "Fakes.h"
#include "text/Cp932.h"

using namespace kv::text;

namespace kv::test {
namespace {

TEST(DefaultSetting, TwoLineBodySurvivesARestart) {
    ManagerFixture f;
    f.Start();
    ManagerModel& m = *f.model;
    ASSERT_TRUE(m.EditCell(1, 1, "/var/log/messages"));
    ASSERT_TRUE(m.EditCell(1, 3, "3"));
    ASSERT_TRUE(m.EditSubject(Sjis("障害通知")));
    ASSERT_TRUE(m.EditBody("first\nsecond"));
    m.Execute(CommandId::GrdSave);
    EXPECT_EQ(f.user.questions.back(),
              Sjis("デフォルト設定情報を保存します。\r\nよろしいですか？"));
    EXPECT_TRUE(f.requests.posts.empty());
    EXPECT_NE(f.dir.Read("env.csv").find("\"first\r\nsecond\""), std::string::npos);

    ScriptedUser user;
    ManagerModel again(user, f.DataDir());
    again.FormCreate();
    again.FormShow();
    EXPECT_EQ(again.Mail().MailBody, "first\r\nsecond");
    EXPECT_EQ(again.Mail().MailSubject, Sjis("障害通知"));
    EXPECT_EQ(again.Grid().Cell(1, 1), "/var/log/messages");
    EXPECT_EQ(again.Grid().Cell(1, 3), "3");
}

TEST(DefaultSetting, CancelledSaveWritesNothing) {
    ManagerFixture f;
    f.Start();
    const std::string before = f.dir.Read("Kestrelview.cnf");
    f.model->EditCell(1, 1, "/x");
    f.user.okAnswers = {false};
    f.model->Execute(CommandId::GrdSave);
    EXPECT_EQ(f.dir.Read("Kestrelview.cnf"), before);
}

TEST(DefaultSetting, SaveAllWritesDefaultAndUploadsLoadedServersOnly) {
    ManagerFixture f({"a,127.10.0.1", "b,127.10.0.2", "c,127.10.0.3"});
    f.Start();
    f.Load(1, AgentSetting({"/a"}, "alpha"));
    f.Load(3, AgentSetting({"/c"}, "gamma"));
    f.requests.postOk["127.10.0.3"] = false;
    f.model->EditCell(1, 1, "/default");
    f.model->Execute(CommandId::GrdAllSave);

    EXPECT_NE(f.dir.Read("Kestrelview.cnf").find("/default"), std::string::npos);
    ASSERT_EQ(f.requests.posts.size(), 2u);
    EXPECT_EQ(f.requests.posts[0].first, "127.10.0.1");
    EXPECT_EQ(f.requests.posts[0].second,
              (std::vector<std::string>{"\"/a\",\"err\",\"1\",\"a@b\",\"\"",
                                        "\"subj\",\"l1\tl2\",\"smtp\",\"from@x\",\"a\""}));
    ASSERT_EQ(f.user.messages.size(), 1u);
    EXPECT_EQ(f.user.messages[0],
              "127.10.0.3" + Sjis(" サーバとの通信に失敗しました。\r\n"
                                  "リモートサーバでKestrelviewエージェントが起動しているか確認して"
                                  "ください。"));
}

TEST(DefaultSetting, EmptySettingIsNeverPosted) {
    ManagerFixture f({"a,127.10.0.1"});
    f.Start();
    f.Load(1, "");
    f.model->Execute(CommandId::GrdAllSave);
    EXPECT_TRUE(f.requests.posts.empty());
    ASSERT_EQ(f.user.messages.size(), 1u);
    EXPECT_EQ(f.user.messages[0].rfind("127.10.0.1", 0), 0u);
}

TEST(DefaultSetting, DistributionCopiesTheDefaultToLoadedServers) {
    ManagerFixture f({"a,127.10.0.1", "b,127.10.0.2"});
    f.Start();
    f.Load(1, AgentSetting({"/a"}, "alpha"));
    f.model->SetSettingText(2, "untouched");
    f.model->EditCell(1, 1, "/dist");
    f.model->Execute(CommandId::DefaultSet);
    const std::string& defaultText = f.model->Servers().Entry(0).SettingText;
    EXPECT_NE(defaultText.find("/dist"), std::string::npos);
    // The copy carries the server's own name: shown later, it must not rename the server.
    EXPECT_EQ(f.model->Servers().Entry(1).SettingText, WithServerName(defaultText, "a"));
    f.Select(1);
    EXPECT_EQ(f.model->ServerNameText(), "a");
    EXPECT_EQ(f.model->Servers().Entry(2).SettingText, "untouched");
    ASSERT_EQ(f.requests.posts.size(), 1u);
    EXPECT_EQ(f.requests.posts[0].second.back(), "\"\",\"\",\"\",\"\",\"a\"");
    EXPECT_NE(f.dir.Read("Kestrelview.cnf").find("/dist"), std::string::npos);
}

TEST(DefaultSetting, DistributionFailingOnTheLocalFilesUploadsNothing) {
    ManagerFixture f({"a,127.10.0.1"});
    f.Start();
    f.Load(1, AgentSetting({"/a"}, "alpha"));
    std::remove(f.dir.File("env.csv").c_str());
    ::mkdir(f.dir.File("env.csv").c_str(), 0700);
    f.model->Execute(CommandId::DefaultSet);
    EXPECT_EQ(f.user.errors.size(), 1u);
    EXPECT_TRUE(f.requests.posts.empty());
}

}  // namespace
}  // namespace kv::test

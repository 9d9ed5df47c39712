#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "AgentTestSupport.h"
#include "agentd/ActionRunner.h"
#include "support/SmtpSink.h"
#include "support/TempDir.h"
#include "text/Cp932.h"
#include "text/JapaneseConversion.h"

using namespace kv::text;

namespace kv::agentd {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// An ActionRunner with its log and spool in a temporary directory.
class Actions {
public:
    explicit Actions(const test::TempDir& dir, ActionSettings settings = Quick())
        : dir_(dir), log_(dir.Path(), "/log", [] { return test::LocalNoon(2026, 3, 1); }) {
        settings.spoolDirectory = dir.File("spool");
        runner_ = std::make_unique<ActionRunner>(std::move(settings), log_);
    }

    static ActionSettings Quick() {
        ActionSettings settings;
        settings.ipAddress = "127.202.2.7";
        settings.retry.firstDelay = 1s;
        settings.retry.attemptTimeout = 10s;
        return settings;
    }

    ActionRunner& Runner() { return *runner_; }
    void Stop() { runner_.reset(); }
    // Today's log as Shift_JIS, once it holds `utf8Text` or the time is up.
    std::string LogWith(const std::string& utf8Text, std::chrono::milliseconds timeout = 15s) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        std::string text;
        do {
            text.clear();
            if (fs::exists(dir_.File("20260301.log"))) {
                text = EucToSjis(dir_.Read("20260301.log"));
            }
            if (text.find(Sjis(utf8Text)) != std::string::npos) {
                break;
            }
            std::this_thread::sleep_for(20ms);
        } while (std::chrono::steady_clock::now() < deadline);
        return text;
    }

private:
    const test::TempDir& dir_;
    DailyLog log_;
    std::unique_ptr<ActionRunner> runner_;
};

FiredRow Row(const std::string& mailAddress, const std::string& smtpServer,
             const std::string& command = "") {
    FiredRow fired;
    fired.row = {Sjis("/var/log/アプリ.log"), Sjis("エラー"), "3", mailAddress, command};
    fired.mail.SMTPServer = smtpServer;
    fired.mail.FromMailAddress = "agent@host.test";
    fired.mail.MailSubject = Sjis("障害検知 \\ServerName\\ \\WatchNum\\回");
    fired.serverName = Sjis("本番サーバ");
    fired.resultLine = "plain line";
    return fired;
}

TEST(ActionRunner, MailsEveryRecipientADecodableMessageWithThePlaceholdersExpanded) {
    test::SmtpSink sink;
    test::TempDir dir;
    Actions actions(dir);
    FiredRow fired = Row(" a@x.test; b@x.test ,c@x.test;", sink.Server());
    // A subject long enough to be folded over several encoded words.
    fired.mail.MailSubject += Sjis("：ディスク容量の警告がしきい値を超えました（至急確認）①");
    // "ソ" is 0x83 0x5C in Shift_JIS: its second byte must not open a placeholder.
    fired.mail.MailBody = Sjis(
        "ファイル \\WatchFile\\\r\n語 \\WatchString\\\tIP \\IPAddress\\\r\n"
        "行 \\ResultLine\\\r\nソServerName\\ \\Unknown\\ ｶﾅ");
    // The matched line arrives in EUC-JP with shell syntax in it.
    fired.resultLine = SjisToEuc(Sjis("エラー発生 $(rm -rf /) `id` \"q\" 'q'"));
    actions.Runner().Fire(fired);

    const auto mails = sink.WaitFor(1, 20s);
    ASSERT_EQ(mails.size(), 1u);
    EXPECT_EQ(mails[0].from, "agent@host.test");
    EXPECT_EQ(mails[0].to, "a@x.test,b@x.test,c@x.test");
    EXPECT_EQ(mails[0].charset, "utf-8");
    EXPECT_EQ(mails[0].subject,
              "障害検知 本番サーバ 3回：ディスク容量の警告がしきい値を超えました（至急確認）①");
    EXPECT_EQ(mails[0].body,
              "ファイル /var/log/アプリ.log\n語 エラー\nIP 127.202.2.7\n"
              "行 エラー発生 $(rm -rf /) `id` \"q\" 'q'\nソServerName\\ \\Unknown\\ ｶﾅ\n");
    const std::string log = actions.LogWith("メールを送信しました。");
    EXPECT_NE(log.find(Sjis("「エラー」を 3 回検出しました。")), std::string::npos);
    EXPECT_NE(log.find("250 2.0.0 stored as 1"), std::string::npos);
}

TEST(ActionRunner, AFailedMailIsRetriedAndSurvivesARestartWithoutBeingDoubled) {
    test::SmtpSink sink;
    sink.Failing(true);
    test::TempDir dir;
    {
        Actions actions(dir);
        actions.Runner().Fire(Row("ops@x.test", sink.Server()));
        // Two refusals: the first attempt and a retry after the back-off.
        const std::string log = actions.LogWith("2 回目");
        EXPECT_NE(log.find("451 4.3.0"), std::string::npos);
    }
    ASSERT_EQ(std::distance(fs::directory_iterator(dir.File("spool")), {}), 1);
    sink.Failing(false);
    Actions restarted(dir);
    EXPECT_EQ(sink.WaitFor(1, 20s).size(), 1u);
    restarted.LogWith("メールを送信しました。");
    restarted.Stop();
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.File("spool")), {}), 0);
    EXPECT_EQ(sink.WaitFor(2, 500ms).size(), 1u);
}

TEST(ActionRunner, MailSettingsThatCannotMakeAMailAreLoggedAndNotSent) {
    test::TempDir dir;
    Actions actions(dir);
    struct Case {
        const char* to;
        const char* server;
        const char* from;
        const char* why;
    };
    for (const Case& c :
         {Case{"a@x.test\r\nRCPT TO:<b@x.test>", "127.0.0.1", "f@x.test", "宛先"},
          Case{"a@x.test", "127.0.0.1/../x", "f@x.test", "SMTPサーバ"},
          Case{"a@x.test", "127.0.0.1:0", "f@x.test", "SMTPサーバ"},
          Case{"a@x.test", "127.0.0.1", "f@x.test>\r\nDATA", "送信元メールアドレス"}}) {
        FiredRow fired = Row(c.to, c.server);
        fired.mail.FromMailAddress = c.from;
        actions.Runner().Fire(fired);
        EXPECT_NE(actions.LogWith(c.why).find(Sjis(c.why) + Sjis("が正しくありません")),
                  std::string::npos)
            << c.why;
    }
    EXPECT_FALSE(fs::exists(dir.File("spool")) &&
                 fs::directory_iterator(dir.File("spool")) != fs::directory_iterator());
}

TEST(ActionRunner, TheMatchedLineReachesTheCommandOnlyThroughItsEnvironment) {
    test::TempDir dir;
    Actions actions(dir);
    const std::string hostile = "x $(touch " + dir.File("pwned") + ") `touch " + dir.File("pwned") +
                                "` \"; touch " + dir.File("pwned") + "; '";
    FiredRow fired = Row("", "",
                         "printf '%s' \"$KV_RESULT_LINE\" > " + dir.File("line") +
                             "; env | grep ^KV_ | sort > " + dir.File("env"));
    fired.resultLine = hostile;
    actions.Runner().Fire(fired);
    actions.LogWith("終了コード 0");
    EXPECT_EQ(dir.Read("line"), hostile);
    EXPECT_FALSE(fs::exists(dir.File("pwned")));
    EXPECT_EQ(dir.Read("env"), "KV_RESULT_LINE=" + hostile +
                                   "\nKV_SERVER_NAME=本番サーバ\nKV_WATCH_FILE=/var/log/アプリ.log"
                                   "\nKV_WATCH_NUM=3\nKV_WATCH_STRING=エラー\n");

    // A line of a megabyte still lets the command start: its variable is cut short.
    fired.resultLine.assign(1 << 20, 'z');
    fired.row.Command = "printf %s \"$KV_RESULT_LINE\" | wc -c > " + dir.File("size");
    actions.Runner().Fire(fired);
    actions.LogWith("wc -c");
    EXPECT_EQ(std::stoi(dir.Read("size")), 64 * 1024);
}

}  // namespace
}  // namespace kv::agentd

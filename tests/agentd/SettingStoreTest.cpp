#include <string>

#include <gtest/gtest.h>

#include "agentd/SettingStore.h"
#include "settings/WatchSetting.h"
#include "store/InOutError.h"
#include "support/TempDir.h"
#include "text/Cp932.h"
#include "text/JapaneseConversion.h"

using namespace kv::text;
using namespace kv::store;
using namespace kv::settings;
using namespace kv::agentd;

namespace kv {
namespace {

std::string Euc(const char* utf8) {
    return SjisToEuc(Sjis(utf8));
}

// Watch rows travel as Shift_JIS; only the mail subject and body are EUC-JP.
std::string UploadBody() {
    std::string body = "\"/var/log/messages\",\"error\",\"3\",\"admin@example.com\",";
    body += "\"/bin/notify \"\"x\"\"\"\r\n";
    body += "\"" + Sjis("/var/log/ログ.txt") + "\",\"" + Sjis("異常") + "\",\"1\",\"\",\"\"\r\n";
    body += "\"" + Euc("障害通知") + "\",\"" + Euc("一行目\t二行目\t") + "\",";
    body += "\"smtp.example.com\",\"agent@example.com\",\"SomeOtherName\"\r\n";
    return body;
}

TEST(SettingStore, UploadThenSettingTextGivesShiftJisWithOwnNameAndLogPath) {
    SettingStore store("");
    ASSERT_EQ(store.Accept(UploadBody()), SettingStore::Upload::Stored);
    std::string expected = "\"/var/log/messages\",\"error\",\"3\",\"admin@example.com\",";
    expected += "\"/bin/notify \"\"x\"\"\"\r\n";
    expected +=
        "\"" + Sjis("/var/log/ログ.txt") + "\",\"" + Sjis("異常") + "\",\"1\",\"\",\"\"\r\n";
    expected += "\"" + Sjis("障害通知") + "\",\"" + Sjis("一行目\t二行目\t") + "\",";
    expected += "\"smtp.example.com\",\"agent@example.com\",\"" + Sjis("監視サーバ") + "\"\r\n";
    expected += "\"/opt/agent/log/20260301.log\"\r\n";
    EXPECT_EQ(store.SettingText(Sjis("監視サーバ"), "/opt/agent/log/20260301.log"), expected);
    EXPECT_EQ(store.Mail().MailBody, Sjis("一行目\r\n二行目\r\n"));

    // What the Manager's own reader makes of it.
    const WatchSetting read = ParseSettingText(expected);
    ASSERT_EQ(read.Rows.size(), 2u);
    EXPECT_EQ(read.Rows[0].Command, "/bin/notify \"x\"");
    EXPECT_EQ(read.Rows[1].FileName, Sjis("/var/log/ログ.txt"));
    EXPECT_EQ(read.Mail, store.Mail());
    EXPECT_EQ(read.ServerName, Sjis("監視サーバ"));
    EXPECT_EQ(read.LogPath, "/opt/agent/log/20260301.log");
}

TEST(SettingStore, SubjectAndBodyAreTakenAsEucJp) {
    SettingStore store("");
    // EUC-JP B4 C1 BB FA is Shift_JIS 8A BF 8E 9A; A4 A2 is 82 A0; 8E B1 is B1.
    ASSERT_EQ(store.Accept("\"\xb4\xc1\xbb\xfa\",\"\xa4\xa2\t\x8e\xb1\",\"\xb4\xc1\",\"\"\r\n"),
              SettingStore::Upload::Stored);
    EXPECT_EQ(store.Mail().MailSubject, "\x8a\xbf\x8e\x9a");
    EXPECT_EQ(store.Mail().MailBody, "\x82\xa0\r\n\xb1");
    // Only subject and body are converted.
    EXPECT_EQ(store.Mail().SMTPServer, "\xb4\xc1");
    EXPECT_TRUE(store.Rows().empty());
}

TEST(SettingStore, ShortLinesTrailingEmptyLinesAndBareFields) {
    SettingStore store("");
    ASSERT_EQ(store.Accept("/a b,\"x\"\r\nsubject\r\n\r\n\r\n"), SettingStore::Upload::Stored);
    ASSERT_EQ(store.Rows().size(), 1u);
    EXPECT_EQ(store.Rows()[0], (WatchRow{"/a", "b", "x", "", ""}));
    EXPECT_EQ(store.Mail(), (MailSetting{"subject", "", "", ""}));
}

TEST(SettingStore, RefusedUploadsLeaveTheSettingAsItWas) {
    SettingStore store("");
    ASSERT_EQ(store.Accept(UploadBody()), SettingStore::Upload::Stored);
    const std::string before = store.SettingText("n", "p");
    EXPECT_EQ(store.Accept(""), SettingStore::Upload::NoMailLine);
    EXPECT_EQ(store.Accept("\r\n\r\n"), SettingStore::Upload::NoMailLine);
    std::string tooMany;
    for (std::size_t i = 0; i <= kMaxWatchRows; ++i) {
        tooMany += "\"/f\",\"s\",\"1\",\"\",\"\"\r\n";
    }
    EXPECT_EQ(store.Accept(tooMany + "\"mail\"\r\n"), SettingStore::Upload::TooManyRows);
    EXPECT_EQ(store.SettingText("n", "p"), before);
    // The last row line of that body is a mail line when it stands last: 128 rows fit.
    EXPECT_EQ(store.Accept(tooMany), SettingStore::Upload::Stored);
    EXPECT_EQ(store.Rows().size(), kMaxWatchRows);
}

TEST(SettingStore, AMailLineAloneClearsTheRows) {
    SettingStore store("");
    ASSERT_EQ(store.Accept(UploadBody()), SettingStore::Upload::Stored);
    ASSERT_EQ(store.Accept("\"s\",\"b\",\"h\",\"f\",\"\"\r\n"), SettingStore::Upload::Stored);
    EXPECT_TRUE(store.Rows().empty());
    EXPECT_EQ(store.SettingText("n", ""), "\"s\",\"b\",\"h\",\"f\",\"n\"\r\n\r\n");
}

TEST(SettingStore, PersistsInItsFileAndReadsItBack) {
    test::TempDir dir;
    {
        SettingStore store(dir.File("WatchSetting.txt"));
        EXPECT_TRUE(store.Rows().empty());
        ASSERT_EQ(store.Accept(UploadBody()), SettingStore::Upload::Stored);
    }
    SettingStore reread(dir.File("WatchSetting.txt"));
    SettingStore memory("");
    memory.Accept(UploadBody());
    EXPECT_EQ(reread.Rows(), memory.Rows());
    EXPECT_EQ(reread.Mail(), memory.Mail());
}

TEST(SettingStore, AFailedSaveKeepsTheOldSettingAndSaysSo) {
    test::TempDir dir;
    dir.Write("not-a-directory", "x");
    SettingStore store(dir.File("not-a-directory/WatchSetting.txt"));
    EXPECT_THROW(store.Accept(UploadBody()), EInOutError);
    EXPECT_TRUE(store.Rows().empty());
    EXPECT_EQ(store.Mail(), MailSetting{});
}

}  // namespace
}  // namespace kv

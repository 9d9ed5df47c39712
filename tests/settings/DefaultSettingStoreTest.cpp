#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "settings/DefaultSettingStore.h"
#include "store/InOutError.h"
#include "support/TempDir.h"

using namespace kv::store;
using namespace kv::settings;

namespace kv {
namespace {

constexpr const char* kMailHeader =
    "\"MailSubject\",\"MailBody\",\"SMTPServer\",\"FromMailAddress\"\r\n";
constexpr const char* kRowsHeader =
    "\"FileName\",\"SearchString\",\"SearchCount\",\"MailAddress\",\"Command\"\r\n";

// The data directory as the Manager sees it at start-up.
struct DataDir {
    test::TempDir dir;
    TMlb2 rows;
    TMlb2 mail;

    void Load() {
        rows = TMlb2{};
        mail = TMlb2{};
        rows.Separator = mail.Separator = ",";
        rows.LoadFromFile(dir.File("Kestrelview.cnf"));
        mail.LoadFromFile(dir.File("env.csv"));
    }
    DefaultSetting Restart() {
        Load();
        return LoadDefaultSetting(rows, mail);
    }
};

std::string RowsFile(int count, const std::string& header = kRowsHeader) {
    std::string bytes = header;
    for (int i = 1; i <= count; ++i) {
        bytes += "\"f" + std::to_string(i) + "\",\"w\",\"1\",\"m\",\"c\"\r\n";
    }
    return bytes;
}

TEST(LoadDefaultSetting, MissingFilesGiveAnEmptySetting) {
    DataDir data;
    const DefaultSetting d = data.Restart();
    EXPECT_TRUE(d.Rows.empty());
    EXPECT_EQ(d.Mail, MailSetting{});
    EXPECT_EQ(d.SettingText, "\"\",\"\",\"\",\"\",\"DefaultSetting\"\r\n\r\n");
}

TEST(LoadDefaultSetting, FieldsByNameTabsBecomeBreaks) {
    DataDir data;
    data.dir.Write("Kestrelview.cnf",
                   "\"Command\",\"Extra\",\"FileName\"\r\n\"c\",\"e\",\"f\"\r\n");
    data.dir.Write("env.csv", std::string(kMailHeader) +
                                  "\"s\",\"a\tb\",\"smtp\",\"from\"\r\n"
                                  "\"s2\",\"\",\"\",\"\"\r\n");
    const DefaultSetting d = data.Restart();
    EXPECT_EQ(d.Rows, (std::vector<WatchRow>{{"f", "", "", "", "c"}}));
    EXPECT_EQ(d.Mail, (MailSetting{"s", "a\r\nb", "smtp", "from"}));
    EXPECT_EQ(d.SettingText,
              "\"f\",\"\",\"\",\"\",\"c\"\r\n\"s\",\"a\tb\",\"smtp\",\"from\","
              "\"DefaultSetting\"\r\n\r\n");
}

TEST(DefaultSettingStore, TwoLineBodySurvivesARestart) {
    DataDir data;
    data.Load();
    const std::string text = BuildSettingText({{"/var/log/m", "err", "3", "a@b", "run"}},
                                              {"s", "line1\r\nline2", "smtp", "from"}, "x");
    SaveDefaultSetting(text, data.rows, data.mail, data.dir.Path());
    EXPECT_EQ(data.dir.Read("env.csv"),
              std::string(kMailHeader) + "\"s\",\"line1\r\nline2\",\"smtp\",\"from\"\r\n");
    EXPECT_EQ(data.dir.Read("Kestrelview.cnf"),
              std::string(kRowsHeader) + "\"/var/log/m\",\"err\",\"3\",\"a@b\",\"run\"\r\n");
    const DefaultSetting d = data.Restart();
    EXPECT_EQ(d.Mail.MailBody, "line1\r\nline2");
    EXPECT_EQ(ParseSettingText(d.SettingText).Rows, ParseSettingText(text).Rows);
}

TEST(DefaultSettingStore, EmptyOrShortTextsKeepOnlyHeaders) {
    const struct {
        std::string text;
        std::string mailRecord;
    } cases[] = {
        {BuildSettingText({}, {"s", "", "smtp", "f"}, "x"), "\"s\",\"\",\"smtp\",\"f\"\r\n"},
        {"\"/log\"\r\n", "\"\",\"\",\"\",\"\"\r\n"},
        {"", "\"\",\"\",\"\",\"\"\r\n"},
    };
    for (const auto& c : cases) {
        DataDir data;
        data.dir.Write("Kestrelview.cnf", RowsFile(3));
        data.dir.Write("env.csv", std::string(kMailHeader) + "\"a\",\"b\",\"c\",\"d\"\r\n");
        data.Load();
        SaveDefaultSetting(c.text, data.rows, data.mail, data.dir.Path());
        EXPECT_EQ(data.dir.Read("Kestrelview.cnf"), kRowsHeader);
        EXPECT_EQ(data.dir.Read("env.csv"), kMailHeader + c.mailRecord);
    }
}

TEST(DefaultSettingStore, ExistingFieldsKeepTheirPlace) {
    DataDir data;
    data.dir.Write("Kestrelview.cnf", "\"Note\",\"Command\",\"FileName\"\r\n\"n\",\"c\",\"f\"\r\n");
    data.dir.Write("env.csv", "\"SMTPServer\",\"Other\"\r\n\"s\",\"o\"\r\n");
    data.Load();
    SaveDefaultSetting(BuildSettingText({{"f", "w", "2", "m", "c"}}, {"S", "B", "H", "F"}, "x"),
                       data.rows, data.mail, data.dir.Path());
    EXPECT_EQ(data.dir.Read("Kestrelview.cnf"),
              "\"Note\",\"Command\",\"FileName\",\"SearchString\",\"SearchCount\","
              "\"MailAddress\"\r\n\"\",\"c\",\"f\",\"w\",\"2\",\"m\"\r\n");
    EXPECT_EQ(data.dir.Read("env.csv"),
              "\"SMTPServer\",\"Other\",\"MailSubject\",\"MailBody\",\"FromMailAddress\"\r\n"
              "\"H\",\"\",\"S\",\"B\",\"F\"\r\n");
}

TEST(DefaultSettingStore, FailedEnvFileLeavesTheRowsFileAlone) {
    DataDir data;
    data.dir.Write("Kestrelview.cnf", RowsFile(2));
    std::filesystem::create_directory(data.dir.File("env.csv"));
    data.Load();
    EXPECT_THROW(
        SaveDefaultSetting(BuildSettingText({}, {}, "x"), data.rows, data.mail, data.dir.Path()),
        EInOutError);
    EXPECT_EQ(data.dir.Read("Kestrelview.cnf"), RowsFile(2));
}

// The grid shows 128 rows; the records after them are kept in the file across saves.
TEST(DefaultSettingStore, RecordsBeyondTheGridAreKept) {
    DataDir data;
    data.dir.Write("Kestrelview.cnf", RowsFile(130));
    DefaultSetting d = data.Restart();
    EXPECT_EQ(d.Rows.size(), kMaxWatchRows);
    EXPECT_EQ(d.HiddenRecords, 2u);
    EXPECT_EQ(ParseSettingText(d.SettingText).Rows, d.Rows);

    d.Rows.resize(10);
    SaveDefaultSetting(BuildSettingText(d.Rows, d.Mail, "x"), data.rows, data.mail,
                       data.dir.Path());
    d.Rows.resize(5);
    SaveDefaultSetting(BuildSettingText(d.Rows, d.Mail, "x"), data.rows, data.mail, data.dir.Path(),
                       d.HiddenRecords);
    const std::string file = data.dir.Read("Kestrelview.cnf");
    EXPECT_EQ(file, RowsFile(5) +
                        "\"f129\",\"w\",\"1\",\"m\",\"c\"\r\n"
                        "\"f130\",\"w\",\"1\",\"m\",\"c\"\r\n");
    EXPECT_EQ(data.Restart().Rows.size(), 7u);
}

}  // namespace
}  // namespace kv

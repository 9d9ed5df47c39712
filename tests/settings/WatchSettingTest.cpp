#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "settings/WatchSetting.h"

using namespace kv::settings;

namespace kv {
namespace {

using Fields = std::vector<std::string>;

TEST(SplitCommaText, FieldRules) {
    const std::string nul("a\0b,c", 5);
    const struct {
        std::string line;
        Fields fields;
    } cases[] = {
        {"", {}},
        {" \t ", {}},
        {"a b", {"a", "b"}},
        {"\"a b\"", {"a b"}},
        {"  a  ,  b  ", {"a", "b"}},
        {"a,,b", {"a", "", "b"}},
        {",a", {"", "a"}},
        {"a,", {"a", ""}},
        {",", {"", ""}},
        {"a, ", {"a"}},  // the comma is not the last byte: no empty field
        {"\"\"", {""}},
        {"\"a\"\"b\",c", {"a\"b", "c"}},
        {"\"a,b\"cd e", {"a,b", "cd", "e"}},
        {"a\tb\x01"
         "c",
         {"a", "b", "c"}},
        {"\"a\tb\"", {"a\tb"}},
        {nul, {std::string("a\0b", 3), "c"}},
        {"\x83\x5c\x95\x5c,\x81\x40", {"\x83\x5c\x95\x5c", "\x81\x40"}},
        {"\"open, rest \"\"x", {"open, rest \"x"}},
        {"\"x\"\"", {"x\""}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SplitCommaText(c.line), c.fields) << c.line;
    }
}

TEST(SplitCommaText, UnterminatedQuoteStopsAtTheLineEnd) {
    const std::string buffer = "\"abc\"def";
    EXPECT_EQ(SplitCommaText(std::string_view(buffer).substr(0, 4)), Fields{"abc"});
}

TEST(SplitSettingLines, BreaksOfEveryKind) {
    using Lines = std::vector<std::string_view>;
    EXPECT_EQ(SplitSettingLines(""), Lines{});
    EXPECT_EQ(SplitSettingLines("a"), Lines{"a"});
    EXPECT_EQ(SplitSettingLines("a\r\n"), Lines{"a"});
    EXPECT_EQ(SplitSettingLines("a\r\n\r\n"), (Lines{"a", ""}));
    EXPECT_EQ(SplitSettingLines("a\rb\nc\r\nd"), (Lines{"a", "b", "c", "d"}));
    EXPECT_EQ(SplitSettingLines("\n\r"), (Lines{"", ""}));
    EXPECT_EQ(SplitSettingLines("\r\r\n"), (Lines{"", ""}));
}

TEST(ParseSettingText, LineRoles) {
    const WatchSetting three = ParseSettingText(
        "\"/var/log/m\",\"err\",\"3\",\"a@b\",\"cmd\"\r\n"
        "\"subj\",\"l1\tl2\tl3\tl4\",\"smtp\",\"from\",\"web01\"\r\n"
        "\"/var/kv/20240101.log\"\r\n");
    ASSERT_EQ(three.Rows.size(), 1u);
    EXPECT_EQ(three.Rows[0], (WatchRow{"/var/log/m", "err", "3", "a@b", "cmd"}));
    EXPECT_EQ(three.Mail, (MailSetting{"subj", "l1\r\nl2\r\nl3\r\nl4", "smtp", "from"}));
    EXPECT_EQ(three.ServerName, "web01");
    EXPECT_EQ(three.LogPath, "/var/kv/20240101.log");

    const WatchSetting two = ParseSettingText("s,b\r\n\r\n");
    EXPECT_TRUE(two.Rows.empty());
    EXPECT_EQ(two.Mail, (MailSetting{"s", "b", "", ""}));
    EXPECT_FALSE(two.LogPath.has_value());

    const WatchSetting one = ParseSettingText("/x.log");
    EXPECT_TRUE(one.Rows.empty());
    EXPECT_EQ(one.Mail, MailSetting{});
    EXPECT_EQ(one.LogPath, "/x.log");

    const WatchSetting none = ParseSettingText("");
    EXPECT_TRUE(none.Rows.empty());
    EXPECT_FALSE(none.LogPath.has_value());
}

TEST(ParseSettingText, ShortAndLongLinesAndManyRows) {
    std::string text;
    for (int i = 0; i < 130; ++i) {
        text += "f" + std::to_string(i) + ",w,1,m,c,extra\r\n";
    }
    text += "\"only\"\r\n\r\n";
    const WatchSetting s = ParseSettingText(text);
    ASSERT_EQ(s.Rows.size(), 130u);
    EXPECT_EQ(s.Rows[129], (WatchRow{"f129", "w", "1", "m", "c"}));
    EXPECT_EQ(s.Mail, (MailSetting{"only", "", "", ""}));
    EXPECT_EQ(s.ServerName, "");
}

TEST(BuildSettingText, ManagerText) {
    EXPECT_EQ(BuildSettingText({}, {}, "DefaultSetting"),
              "\"\",\"\",\"\",\"\",\"DefaultSetting\"\r\n\r\n");
    const std::string text = BuildSettingText({{"/a b", "x\"y", "1", "m", "c"}},
                                              {"s", "l1\r\nl2\rl3\nl4", "smtp", "from"}, "srv");
    EXPECT_EQ(text,
              "\"/a b\",\"x\"y\",\"1\",\"m\",\"c\"\r\n"
              "\"s\",\"l1\tl2\tl3\tl4\",\"smtp\",\"from\",\"srv\"\r\n\r\n");
}

TEST(BuildSettingText, RoundTripsThroughTheParser) {
    const std::vector<WatchRow> rows = {{" /a ", "b,c", "12", "", "run \x83\x5c"},
                                        {"/d", "", "", "m", ""}};
    const MailSetting mail{"subj", "one\r\ntwo\r\n\r\nfour", " smtp ", "f@x"};
    const WatchSetting back = ParseSettingText(BuildSettingText(rows, mail, "name"));
    EXPECT_EQ(back.Rows, rows);
    EXPECT_EQ(back.Mail, mail);
    EXPECT_EQ(back.ServerName, "name");
    EXPECT_FALSE(back.LogPath.has_value());
}

TEST(BuildUploadBody, RequotesConvertsAndRenames) {
    EXPECT_EQ(BuildUploadBody("", "srv"), "");
    EXPECT_EQ(BuildUploadBody("\"/only/log\"\r\n", "srv"), "");
    EXPECT_EQ(BuildUploadBody(BuildSettingText({}, {}, "DefaultSetting"), "srv"),
              "\"\",\"\",\"\",\"\",\"srv\"\r\n");

    const std::string sjisSubject = "\x8c\x8f\x96\xbc";
    const std::string sjisBody = "\x96\x7b\x95\xb6\t\x83\x5c";
    const std::string text =
        "a b,\"\x83\x5c\",1,m,c,x\r\n"
        "/short\r\n\"" +
        sjisSubject + "\",\"" + sjisBody +
        "\",\"\x83\x5c\",\"f\",\"other\"\r\n"
        "\"/log\"";
    EXPECT_EQ(
        BuildUploadBody(text, "mine"),
        "\"a\",\"b\",\"\x83\x5c\",\"1\",\"m\"\r\n"
        "\"/short\",\"\",\"\",\"\",\"\"\r\n"
        "\"\xb7\xef\xcc\xbe\",\"\xcb\xdc\xca\xb8\t\xa5\xbd\",\"\x83\x5c\",\"f\",\"mine\"\r\n");
}

}  // namespace
}  // namespace kv

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli/SettingDiff.h"
#include "text/Cp932.h"

using namespace kv::text;

namespace kv::cli {
namespace {

std::string Row(const std::string& file, const std::string& count = "2") {
    return "\"" + file + "\",\"" + Sjis("エラー") + "\",\"" + count + "\",\"ops@x\",\"run.sh\"\r\n";
}

std::string Mail(const std::string& body, const std::string& name = "srv") {
    return "\"" + Sjis("件名") + "\",\"" + body + "\",\"smtp.x\",\"from@x\",\"" + name + "\"\r\n";
}

const std::string kLog = "\"/log/20260301.log\"\r\n";

TEST(SettingDiff, EveryKindOfDifference) {
    struct Case {
        const char* name;
        std::string current;
        std::string wanted;
        std::vector<std::string> lines;
    };
    const std::string base = Row("/a") + Row("/b") + Mail("l1\tl2") + kLog;
    const std::vector<Case> cases{
        {"same, whatever the log line and the server name",
         base,
         Row("/a") + Row("/b") + Mail("l1\tl2", "other") + "\"/log/20260302.log\"\r\n",
         {}},
        {"row added at the end",
         base,
         Row("/a") + Row("/b") + Row("/c") + Mail("l1\tl2") + kLog,
         {"row 3 added: \"/c\",\"" + Sjis("エラー") + "\",\"2\",\"ops@x\",\"run.sh\""}},
        {"row removed at the end",
         base,
         Row("/a") + Mail("l1\tl2") + kLog,
         {"row 2 removed: \"/b\",\"" + Sjis("エラー") + "\",\"2\",\"ops@x\",\"run.sh\""}},
        {"changed count and Japanese file name",
         base,
         Row("/a", "10") + Row(Sjis("/ログ")) + Mail("l1\tl2") + kLog,
         {"row 1 SearchCount: \"2\" -> \"10\"",
          "row 2 FileName: \"/b\" -> \"" + Sjis("/ログ") + "\""}},
        {"mail body with line breaks",
         base,
         Row("/a") + Row("/b") + Mail("l1\tl2\tl3") + kLog,
         {"mail MailBody: \"l1\\nl2\" -> \"l1\\nl2\\nl3\""}},
        {"from nothing",
         "",
         base,
         {"row 1 added: \"/a\",\"" + Sjis("エラー") + "\",\"2\",\"ops@x\",\"run.sh\"",
          "row 2 added: \"/b\",\"" + Sjis("エラー") + "\",\"2\",\"ops@x\",\"run.sh\"",
          "mail MailSubject: \"\" -> \"" + Sjis("件名") + "\"",
          "mail MailBody: \"\" -> \"l1\\nl2\"", "mail SMTPServer: \"\" -> \"smtp.x\"",
          "mail FromMailAddress: \"\" -> \"from@x\""}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SettingDifferences(c.current, c.wanted), c.lines) << c.name;
    }
}

TEST(SettingDiff, FilesTheTextCannotCarryAreNamed) {
    const std::string fine = Row("/a") + Mail("b") + kLog;
    EXPECT_EQ(UnfitForUpload(fine), std::nullopt);
    EXPECT_EQ(UnfitForUpload(Mail("b") + "\r\n"), std::nullopt);  // as the Manager builds it
    const std::vector<std::pair<std::string, std::string>> unfit{
        {"", "no mail line"},
        {kLog, "no mail line"},
        {Row("/a") + Mail("b"), "no mail line"},  // the log line left out
        {"\"/a\",\"broken\r\nvalue\",\"1\",\"\",\"\"\r\n" + Mail("b") + kLog, "line 1: a quoted"},
        {Row("/a") + "\"s\",\"body\nmore\",\"smtp\",\"f\",\"n\"\r\n" + kLog, "line 2: a quoted"},
    };
    for (const auto& [text, reason] : unfit) {
        const std::optional<std::string> why = UnfitForUpload(text);
        ASSERT_TRUE(why) << text;
        EXPECT_TRUE(why->starts_with(reason)) << *why;
    }
    std::string tooMany;
    for (int i = 0; i < 129; ++i) {
        tooMany += Row("/r");
    }
    EXPECT_EQ(UnfitForUpload(tooMany + Mail("b") + kLog), "more than 128 watch rows");
}

}  // namespace
}  // namespace kv::cli

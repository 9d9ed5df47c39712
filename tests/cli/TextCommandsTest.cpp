#include <algorithm>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "ProcessRun.h"
#include "cli/SjisOutput.h"
#include "support/TempDir.h"
#include "text/Cp932.h"
#include "text/JapaneseConversion.h"

using namespace kv::text;

namespace kv {
namespace {

using test::RunCtl;

TEST(ConvertCommandTest, ConvertsTheWholeBinaryStreamBothWays) {
    std::string euc = "ascii \xA4\xA2\xA4\xA4 \x8E\xB1 half";
    euc += std::string("\0\xFF\xA4", 3);  // a NUL, a stray byte, a cut-off character
    const auto toSjis = RunCtl({"convert", "--to-sjis"}, euc);
    EXPECT_EQ(toSjis.status, 0) << toSjis.err;
    EXPECT_EQ(toSjis.out, EucToSjis(euc));
    EXPECT_TRUE(toSjis.out.starts_with("ascii \x82\xA0\x82\xA2 \xB1 half"));

    const auto back = RunCtl({"convert", "--to-euc"}, toSjis.out);
    EXPECT_EQ(back.status, 0) << back.err;
    EXPECT_EQ(back.out, SjisToEuc(toSjis.out));
    EXPECT_TRUE(back.out.starts_with("ascii \xA4\xA2\xA4\xA4 \x8E\xB1 half"));
}

TEST(ConvertCommandTest, ALargeStreamIsOnePiece) {
    // A character on every possible read boundary.
    std::string euc;
    for (int i = 0; i < 300000; ++i) {
        euc += i % 3 == 0 ? "a\xA4\xA2" : "\xB0\xA1";
    }
    const auto result = RunCtl({"convert", "--to-sjis"}, euc);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, EucToSjis(euc));
}

TEST(ConvertCommandTest, NeedsExactlyOneDirection) {
    for (const auto& arguments : {std::vector<std::string>{"convert"},
                                  {"convert", "--to-sjis", "--to-euc"},
                                  {"convert", "--to-sjis", "file"},
                                  {"convert", "--to-utf8"}}) {
        const auto result = RunCtl(arguments, "x");
        EXPECT_EQ(result.status, 2) << arguments.size();
        EXPECT_EQ(result.out, "");
        EXPECT_NE(result.err.find("Usage: kestrelviewctl"), std::string::npos) << result.err;
    }
}

const std::string kSubject = Sjis("障害検知");
const std::string kBody = Sjis("本文") + "\tline two";

std::string SettingText(const std::string& name) {
    return "\"/var/log/messages\",\"" + Sjis("エラー") + "\",\"3\",\"a@b\",\"run.sh\"\r\n" +
           "bare  \"quoted, kept\"\r\n" + "\"" + kSubject + "\",\"" + kBody +
           "\",\"smtp.example\",\"from@x\",\"" + name + "\"\r\n" + "\"/log/20260301.log\"\r\n";
}

std::string ExpectedBody(const std::string& name) {
    return "\"/var/log/messages\",\"" + Sjis("エラー") + "\",\"3\",\"a@b\",\"run.sh\"\r\n" +
           "\"bare\",\"quoted, kept\",\"\",\"\",\"\"\r\n" + "\"" + SjisToEuc(kSubject) + "\",\"" +
           SjisToEuc(kBody) + "\",\"smtp.example\",\"from@x\",\"" + name + "\"\r\n";
}

TEST(SettingBodyCommandTest, RebuildsTheBodyUnderItsOwnOrAGivenName) {
    const std::string own = Sjis("自分");
    const auto result = RunCtl({"setting-body"}, SettingText(own));
    EXPECT_EQ(result.status, 0) << result.err;
    // Always raw: the body is what goes on the wire.
    EXPECT_EQ(result.out, ExpectedBody(own));

    const auto named = RunCtl({"setting-body", "--name", "新しい名前"}, SettingText(own));
    EXPECT_EQ(named.status, 0) << named.err;
    EXPECT_EQ(named.out, ExpectedBody(Sjis("新しい名前")));

    const auto raw = RunCtl({"--raw", "setting-body", "--name=" + Sjis("名")}, SettingText(own));
    EXPECT_EQ(raw.status, 0) << raw.err;
    EXPECT_EQ(raw.out, ExpectedBody(Sjis("名")));
}

TEST(SettingBodyCommandTest, ATextWithoutAMailLineGivesNoBody) {
    for (const std::string input : {"", "\"only the log line\"\r\n"}) {
        const auto result = RunCtl({"setting-body"}, input);
        EXPECT_EQ(result.status, 1) << input;
        EXPECT_EQ(result.out, "");
        EXPECT_NE(result.err, "");
    }
    EXPECT_EQ(RunCtl({"setting-body", "--name"}, "x").status, 2);
    EXPECT_EQ(RunCtl({"setting-body", "extra"}, "x").status, 2);
    EXPECT_EQ(RunCtl({"setting-body", "--name", "\xF0\x9F\x98\x80"}, SettingText("")).status, 2);
}

class TreeInputCommandTest : public ::testing::Test {
protected:
    test::TempDir dir;
};

TEST_F(TreeInputCommandTest, PrintsThePaneAsUtf8OrRaw) {
    const std::string japanese = Sjis("日本語");
    dir.Write("reply.txt", "IsDir /\tx\r\n\tIsDir etc\r\n\t\thosts\r\n\t\tIsDir " + japanese +
                               "\r\n\tIsDir tmp\r\n\tIsEnd " + japanese + "\r\nother root\r\n\tz");
    const auto utf8 = RunCtl({"tree", "--input", dir.File("reply.txt")});
    EXPECT_EQ(utf8.status, 0) << utf8.err;
    EXPECT_EQ(utf8.out, "/\n/etc/\n/etc/hosts\n/etc/日本語/\n/tmp/\n! /日本語\n");
    EXPECT_EQ(utf8.err, "");

    const auto raw = RunCtl({"--raw", "tree", "--input=" + dir.File("reply.txt")});
    EXPECT_EQ(raw.status, 0) << raw.err;
    EXPECT_EQ(raw.out,
              "/\n/etc/\n/etc/hosts\n/etc/" + japanese + "/\n/tmp/\n! /" + japanese + "\n");
}

TEST_F(TreeInputCommandTest, ABadLevelFailsWithoutOutput) {
    dir.Write("reply.txt", "/\n\tIsDir a\n\t\t\ttoo deep\n");
    const auto result = RunCtl({"tree", "--input", dir.File("reply.txt")});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_NE(result.err.find("line 3"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("アイテム \"too deep\" の階層 (0:d) が不正です"), std::string::npos)
        << result.err;
}

TEST_F(TreeInputCommandTest, AnEmptyReplyIsTheRootAlone) {
    dir.Write("empty.txt", "");
    const auto result = RunCtl({"tree", "--input", dir.File("empty.txt")});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "/\n");
}

TEST_F(TreeInputCommandTest, UsageAndFileErrors) {
    dir.Write("reply.txt", "/\n");
    EXPECT_EQ(RunCtl({"tree"}).status, 2);
    EXPECT_EQ(RunCtl({"tree", "127.0.0.1", "--input", dir.File("reply.txt")}).status, 2);
    EXPECT_EQ(RunCtl({"tree", "--input"}).status, 2);
    const auto missing = RunCtl({"tree", "--input", dir.File("missing.txt")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("missing.txt"), std::string::npos) << missing.err;
}

}  // namespace
}  // namespace kv

namespace kv::cli {
namespace {

// However the text is cut into pieces, the terminal gets the UTF-8 of the whole text.
TEST(SjisOutputTest, PiecesPrintAsTheWholeText) {
    const std::string text = Sjis("ログ ａ\r\n漢字") + "\xB1\x81\x40x" + Sjis("表示");
    const std::string expected = Cp932ToUtf8(text);
    for (std::size_t cut = 0; cut <= text.size(); ++cut) {
        for (std::size_t second = cut; second <= text.size(); ++second) {
            std::ostringstream out;
            std::ostringstream err;
            Terminal terminal(out, err, false);
            SjisOutput output(terminal);
            output.Print(std::string_view(text).substr(0, cut));
            output.Print(std::string_view(text).substr(cut, second - cut));
            output.Print(std::string_view(text).substr(second));
            output.Finish();
            ASSERT_EQ(out.str(), expected) << cut << " " << second;
        }
    }
    // Megabytes in pieces of every size pass through the printing thread's queue in order.
    std::string big;
    for (int i = 0; big.size() < (3u << 20); ++i) {
        big += text + std::to_string(i);
    }
    for (const std::size_t piece : {std::size_t(1000), std::size_t(65537), std::size_t(1) << 20}) {
        std::ostringstream out;
        std::ostringstream err;
        Terminal terminal(out, err, false);
        {
            SjisOutput output(terminal);
            for (std::size_t at = 0; at < big.size(); at += piece) {
                output.Print(std::string_view(big).substr(at, piece));
            }
            output.Finish();
        }
        const std::string got = out.str();
        const std::string want = Cp932ToUtf8(big);
        const auto differs = std::mismatch(got.begin(), got.end(), want.begin(), want.end());
        ASSERT_TRUE(got == want) << piece << ": " << got.size() << " bytes of " << want.size()
                                 << ", first difference at " << differs.first - got.begin();
    }
}

}  // namespace
}  // namespace kv::cli

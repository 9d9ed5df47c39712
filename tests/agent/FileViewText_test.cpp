#include "agent/FileViewText.h"

#include <random>
#include <string>

#include <gtest/gtest.h>

#include "text/JapaneseConversion.h"

using namespace kv::agent;

namespace kv {
namespace {

using namespace std::string_literals;

TEST(FileViewTextTest, EveryLineEndsWithCrLf) {
    EXPECT_EQ(PrepareFileViewText(""), "");
    EXPECT_EQ(PrepareFileViewText("last line without end"), "last line without end\r\n");
    EXPECT_EQ(PrepareFileViewText("a\nb\n"), "a\r\nb\r\n");
    EXPECT_EQ(PrepareFileViewText("a\rb\r\nc\n\rd"), "a\r\nb\r\nc\r\n\r\nd\r\n");
    EXPECT_EQ(PrepareFileViewText("\n\n"), "\r\n\r\n");
    EXPECT_EQ(PrepareFileViewText("a\r"), "a\r\n");
    EXPECT_EQ(PrepareFileViewText("a\r\r\n"), "a\r\n\r\n");
}

TEST(FileViewTextTest, NulEndsTheText) {
    EXPECT_EQ(PrepareFileViewText("shown\nup to\0hidden\nlines"s), "shown\r\nup to\r\n");
    EXPECT_EQ(PrepareFileViewText("\0everything hidden"s), "");
    EXPECT_EQ(PrepareFileViewText("line\n\0"s), "line\r\n");
}

TEST(FileViewTextTest, ConvertsEucJpToShiftJisAfterJoining) {
    // "ログ" and "あ" in EUC-JP, and a half-width katakana "ｱ".
    EXPECT_EQ(PrepareFileViewText("\xa5\xed\xa5\xb0\n\xa4\xa2\r\x8e\xb1"),
              "\x83\x8d\x83\x4f\r\n\x82\xa0\r\n\xb1\r\n");
}

}  // namespace
}  // namespace kv

namespace kv::agent {
namespace {

// The preparation as one walk over the whole reply, which the builder must match.
std::string PreparedWhole(std::string_view reply) {
    std::string joined;
    std::string line;
    bool open = false;
    for (std::size_t at = 0; at < reply.size() && reply[at] != '\0'; ++at) {
        const char c = reply[at];
        if (c == '\r' || c == '\n') {
            joined += line + "\r\n";
            line.clear();
            open = false;
            if (c == '\r' && at + 1 < reply.size() && reply[at + 1] == '\n') {
                ++at;
            }
        } else {
            line += c;
            open = true;
        }
    }
    if (open) {
        joined += line + "\r\n";
    }
    std::string out;
    kv::text::detail::EucToSjisScalar(joined, out);
    return out;
}

TEST(FileViewTextBuilderTest, PiecesGiveTheWholeRepliesText) {
    std::mt19937 random(3);
    static constexpr char kBytes[] = {'a', '\r', '\n', '\0', '\x8E', '\xA4', '\xB1', '\xFF'};
    for (int round = 0; round < 400; ++round) {
        std::string reply(random() % 80, 'a');
        for (char& c : reply) {
            c = kBytes[random() % (round % 4 == 0 ? sizeof kBytes : sizeof kBytes - 5)];
        }
        if (round % 5 == 0) {
            reply += std::string(70000, '\xA4');  // longer than one slice of normalising
        }
        const std::string expected = PreparedWhole(reply);
        ASSERT_EQ(PrepareFileViewText(reply), expected);
        for (std::size_t cut = 0; cut <= reply.size(); cut += 1 + reply.size() / 97) {
            FileViewTextBuilder builder;
            std::string out;
            builder.Feed(std::string_view(reply).substr(0, cut), out);
            builder.Feed(std::string_view(reply).substr(cut), out);
            builder.Finish(out);
            ASSERT_EQ(out, expected) << "cut at " << cut;
        }
    }
}

}  // namespace
}  // namespace kv::agent

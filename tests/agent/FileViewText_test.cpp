#include "agent/FileViewText.h"

#include <string>

#include <gtest/gtest.h>

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

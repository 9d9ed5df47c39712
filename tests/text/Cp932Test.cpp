#include <cerrno>
#include <random>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>
#include <iconv.h>

#include "text/Cp932.h"

using namespace kv::text;

namespace kv {
namespace {

using namespace std::string_literals;

const std::string kReplacement = "\xEF\xBF\xBD";

TEST(Cp932, ConvertsBothWaysIncludingExtensions) {
    struct Case {
        std::string utf8;
        std::string sjis;
    };
    const Case cases[] = {
        {"", ""},
        {"abc\r\n", "abc\r\n"},
        {"ﾌｧｲﾙ", "\xCC\xA7\xB2\xD9"},
        {"ファイル", "\x83\x74\x83\x40\x83\x43\x83\x8B"},
        {"～", "\x81\x60"},
        {"①", "\x87\x40"},
        {"Ⅰ", "\x87\x54"},
        {"ⅰ", "\xFA\x40"},
        {"髙", "\xFB\xFC"},
        {"﨑", "\xFA\xB1"},
        {"a\0b"s, "a\0b"s},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Utf8ToCp932(c.utf8), c.sjis) << c.utf8;
        EXPECT_EQ(Cp932ToUtf8(c.sjis), c.utf8) << c.utf8;
    }
    // The NEC-selected copies of the IBM extensions read as the same characters.
    EXPECT_EQ(Cp932ToUtf8("\xED\x40"), Cp932ToUtf8("\xFA\x5C"));
    // The wave dash that Linux input methods type is stored as the Windows tilde.
    EXPECT_EQ(Utf8ToCp932("〜"), "\x81\x60");
}

TEST(Cp932, InvalidBytesBecomeReplacementCharactersOneByteAtATime) {
    EXPECT_EQ(Cp932ToUtf8("\x80"), kReplacement);
    EXPECT_EQ(Cp932ToUtf8("\xA0"), kReplacement);
    EXPECT_EQ(Cp932ToUtf8("\xFD\xFE\xFF"), kReplacement + kReplacement + kReplacement);
    // An unassigned pair loses only its first byte; the second is read again on its own.
    EXPECT_EQ(Cp932ToUtf8("\x85\x41"), kReplacement + "A");
    // A lead byte cut off by the end.
    EXPECT_EQ(Cp932ToUtf8("ok\x82"), "ok" + kReplacement);
    EXPECT_EQ(Cp932ToUtf8("\x82\xA0\xFF\x82\xA2"), "あ" + kReplacement + "い");
    // Many invalid bytes: the output must grow past its first guess.
    const std::string junk(1000, '\xFF');
    std::string expected;
    for (int i = 0; i < 1000; ++i) {
        expected += kReplacement;
    }
    EXPECT_EQ(Cp932ToUtf8(junk), expected);
}

// glibc's own CP932 decoding, one byte of U+FFFD and a step of one byte at every sequence it
// refuses: what the decoding table must reproduce exactly.
std::string IconvWithReplacement(std::string_view in) {
    iconv_t cd = iconv_open("UTF-8", "CP932");
    std::string out;
    char* src = const_cast<char*>(in.data());
    std::size_t left = in.size();
    while (left > 0) {
        char buffer[64];
        char* dst = buffer;
        std::size_t room = sizeof buffer;
        const std::size_t rc = iconv(cd, &src, &left, &dst, &room);
        out.append(buffer, sizeof buffer - room);
        if (rc == static_cast<std::size_t>(-1) && errno != E2BIG) {
            out += kReplacement;
            ++src;
            --left;
        }
    }
    iconv_close(cd);
    return out;
}

TEST(Cp932, DecodesEveryByteAndPairAndMixedTextAsIconvDoes) {
    std::string all;
    for (int b = 0; b < 256; ++b) {
        all += static_cast<char>(b);
        for (int t = 0; t < 256; ++t) {
            const std::string pair{static_cast<char>(b), static_cast<char>(t)};
            ASSERT_EQ(Cp932ToUtf8(pair), IconvWithReplacement(pair)) << b << ' ' << t;
        }
    }
    EXPECT_EQ(Cp932ToUtf8(all), IconvWithReplacement(all));
    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
        std::string text(static_cast<std::size_t>(random() % 300), '\0');
        for (char& c : text) {
            c = static_cast<char>(random() % 4 == 0 ? 0x81 + random() % 0x7C : random() % 256);
        }
        ASSERT_EQ(Cp932ToUtf8(text), IconvWithReplacement(text)) << round;
    }
}

TEST(Cp932, RefusesWhatShiftJisCannotHoldAndInvalidUtf8) {
    EXPECT_EQ(Utf8ToCp932("price: €"), std::nullopt);
    EXPECT_EQ(Utf8ToCp932("😀"), std::nullopt);
    EXPECT_EQ(Utf8ToCp932("한국어"), std::nullopt);
    EXPECT_EQ(Utf8ToCp932("\xC3"), std::nullopt);
    EXPECT_EQ(Utf8ToCp932("a\xFF"), std::nullopt);
    EXPECT_EQ(Utf8ToCp932("\xC0\xAF"), std::nullopt);
    EXPECT_EQ(Utf8ToCp932("\xED\xA0\x80"), std::nullopt);
}

TEST(Cp932, LongTextsGrowTheOutput) {
    std::string utf8;
    std::string sjis;
    for (int i = 0; i < 5000; ++i) {
        utf8 += "ｱ";
        sjis += '\xB1';
    }
    EXPECT_EQ(Cp932ToUtf8(sjis), utf8);
    EXPECT_EQ(Utf8ToCp932(utf8), sjis);
}

TEST(Cp932, SjisOfLiterals) {
    const std::string message =
        "リモートサーバとの通信に失敗しました。\r\nリモートサーバでKestrelviewエージェントが起動し"
        "ているか"
        "確認してください。";
    EXPECT_EQ(Sjis("あ"), "\x82\xA0");
    EXPECT_EQ(Cp932ToUtf8(Sjis(message)), message);
    EXPECT_EQ(Sjis(message), Sjis(message));
    EXPECT_THROW(Sjis("€"), std::logic_error);
    EXPECT_THROW(Sjis("\xFF"), std::logic_error);
}

}  // namespace
}  // namespace kv

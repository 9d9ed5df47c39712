#include <optional>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <iconv.h>

#include "text/JapaneseConversion.h"

using namespace kv::text;

namespace kv {
namespace {

using namespace std::string_literals;

std::string Hex(std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (!text.empty()) {
            text += ' ';
        }
        text += kDigits[b >> 4];
        text += kDigits[b & 0xF];
    }
    return text;
}

std::string EucScalar(std::string_view in) {
    std::string out;
    detail::EucToSjisScalar(in, out);
    return out;
}

std::string SjisScalar(std::string_view in) {
    std::string out;
    detail::SjisToEucScalar(in, out);
    return out;
}

std::string Run(void (*convert)(std::string_view, std::string&), std::string_view in) {
    std::string out;
    convert(in, out);
    return out;
}

// `path` must agree with the scalar walks on `in`, both ways.
void ExpectSameAsScalar(const detail::ConversionPath& path, std::string_view in) {
    const std::string euc = Hex(EucScalar(in));
    const std::string sjis = Hex(SjisScalar(in));
    ASSERT_EQ(Hex(Run(path.eucToSjis, in)), euc) << path.name << " EUC input " << Hex(in);
    ASSERT_EQ(Hex(Run(path.sjisToEuc, in)), sjis) << path.name << " Shift_JIS input " << Hex(in);
}

TEST(JapaneseConversion, WorkedValues) {
    EXPECT_EQ(EucToSjis("\xA4\xA2"), "\x82\xA0");
    EXPECT_EQ(SjisToEuc("\x82\xA0"), "\xA4\xA2");
    EXPECT_EQ(EucToSjis("\xB4\xC1\xBB\xFA"), "\x8A\xBF\x8E\x9A");
    EXPECT_EQ(SjisToEuc("\x8A\xBF\x8E\x9A"), "\xB4\xC1\xBB\xFA");
    EXPECT_EQ(EucToSjis("\x8E\xB1"), "\xB1");
    EXPECT_EQ(SjisToEuc("\xB1"), "\x8E\xB1");
    EXPECT_EQ(SjisToEuc("\x81\x5B"), "\xA1\xBC");
    EXPECT_EQ(EucToSjis("\xA1\xBC"), "\x81\x5B");

    std::string ascii;
    for (int c = 0; c < 0x80; ++c) {
        ascii += static_cast<char>(c);
    }
    EXPECT_EQ(EucToSjis(ascii), ascii);
    EXPECT_EQ(SjisToEuc(ascii), ascii);
}

TEST(JapaneseConversion, EmptyTextAndLineBreaks) {
    EXPECT_EQ(EucToSjis(""), "");
    EXPECT_EQ(SjisToEuc(""), "");
    EXPECT_EQ(EucToSjis("\xA4\xA2\r\n\xA4\xA4\n"), "\x82\xA0\r\n\x82\xA2\n");
    EXPECT_EQ(SjisToEuc("\x82\xA0\r\n\x82\xA2\n"), "\xA4\xA2\r\n\xA4\xA4\n");
}

TEST(JapaneseConversion, ByteZeroIsTakenPastTheEnd) {
    EXPECT_EQ(Hex(EucToSjis("\xA4")), "82 7E");
    EXPECT_EQ(EucToSjis("\x8E"), "\0"s);
    EXPECT_EQ(Hex(SjisToEuc("\x82")), "A3 E1");
    EXPECT_EQ(Hex(EucToSjis("ab\xA4\xA2\xA4")), "61 62 82 A0 82 7E");
}

TEST(JapaneseConversion, EucBytesOutsideThePairRanges) {
    // 0x80 and 0xFF stand for themselves.
    EXPECT_EQ(Hex(EucToSjis("\x80\xFF\x41")), "80 FF 41");
    // 0x8E passes whatever follows it, even a byte that is no katakana.
    EXPECT_EQ(EucToSjis("\x8E\x41\x8E\x0A"), "A\n");
    // The three-byte form is not recognised: 0x8F pairs with the next byte, and the third
    // byte starts the next step.
    EXPECT_EQ(EucToSjis("\x8F\xB0\xA1"), JisToSjisPair(0x0F, 0x30) + JisToSjisPair(0x21, 0x00));
    // A lead takes any byte after it, ASCII too.
    EXPECT_EQ(Hex(EucToSjis("\xA4\x41")), "82 BF");
}

TEST(JapaneseConversion, SjisBytesOutsideJisX0208) {
    // Bytes that are neither ASCII nor katakana lead a pair, whatever their validity.
    EXPECT_EQ(Hex(SjisToEuc("\x80\x41")), "9F A2");
    EXPECT_EQ(Hex(SjisToEuc("\xA0\x41")), "DF A2");
    EXPECT_EQ(Hex(SjisToEuc("\xFD\xFF")), "9A 81");
    // Extension and user-defined characters give pairs outside 0xA1..0xFE; not refused.
    EXPECT_EQ(Hex(SjisToEuc("\xF0\x40")), "FF A1");
    EXPECT_EQ(Hex(SjisToEuc("\xFC\xFC")), "98 FE");
    EXPECT_EQ(Hex(SjisToEuc("\xFA\x40\xFA\x40")), "93 A1 93 A1");
}

TEST(JapaneseConversion, PairArithmeticWrapsModulo256) {
    EXPECT_EQ(Hex(JisToSjisPair(0xFF, 0x00)), "B0 1F");
    EXPECT_EQ(Hex(JisToSjisPair(0x00, 0xFF)), "70 7D");
    EXPECT_EQ(Hex(SjisToJisPair(0x00, 0x00)), "1F E1");
    EXPECT_EQ(Hex(SjisToJisPair(0xFF, 0xFF)), "9E 81");
}

TEST(JapaneseConversion, PairsRoundTripOverTheWholeJisTable) {
    std::string euc;
    for (int j1 = 0x21; j1 <= 0x7E; ++j1) {
        for (int j2 = 0x21; j2 <= 0x7E; ++j2) {
            const std::string sjis =
                JisToSjisPair(static_cast<unsigned char>(j1), static_cast<unsigned char>(j2));
            const std::string back = SjisToJisPair(static_cast<unsigned char>(sjis[0]),
                                                   static_cast<unsigned char>(sjis[1]));
            ASSERT_EQ(back, std::string({static_cast<char>(j1), static_cast<char>(j2)}))
                << j1 << "," << j2;
            euc += static_cast<char>(j1 | 0x80);
            euc += static_cast<char>(j2 | 0x80);
        }
    }
    EXPECT_EQ(SjisToEuc(EucToSjis(euc)), euc);
}

std::optional<std::string> ThroughIconv(const char* to, const char* from, std::string in) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return std::nullopt;
    }
    std::string out(16, '\0');
    char* src = in.data();
    std::size_t srcLeft = in.size();
    char* dst = out.data();
    std::size_t dstLeft = out.size();
    const std::size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    iconv_close(cd);
    if (rc == static_cast<std::size_t>(-1)) {
        return std::nullopt;
    }
    out.resize(out.size() - dstLeft);
    return out;
}

// The arithmetic must agree with the system's tables on every character both encodings
// define, half-width katakana included.
TEST(JapaneseConversion, AgreesWithSystemTablesOnEveryJisX0208Character) {
    int compared = 0;
    for (int j1 = 0x21; j1 <= 0x7E; ++j1) {
        for (int j2 = 0x21; j2 <= 0x7E; ++j2) {
            const std::string euc{static_cast<char>(j1 | 0x80), static_cast<char>(j2 | 0x80)};
            const std::optional<std::string> sjis = ThroughIconv("SHIFT_JIS", "EUC-JP", euc);
            if (!sjis) {
                continue;
            }
            ASSERT_EQ(Hex(EucToSjis(euc)), Hex(*sjis)) << Hex(euc);
            ASSERT_EQ(Hex(SjisToEuc(*sjis)), Hex(euc)) << Hex(*sjis);
            ++compared;
        }
    }
    EXPECT_GE(compared, 6879);
    for (int kana = 0xA1; kana <= 0xDF; ++kana) {
        const std::string euc{'\x8E', static_cast<char>(kana)};
        ASSERT_EQ(ThroughIconv("SHIFT_JIS", "EUC-JP", euc), EucToSjis(euc));
        ASSERT_EQ(SjisToEuc(EucToSjis(euc)), euc);
    }
}

TEST(JapaneseConversion, AppendsToExistingOutput) {
    std::string out = "head:";
    EucToSjis("\xA4\xA2", out);
    EXPECT_EQ(out, "head:\x82\xA0");
    SjisToEuc("\xB1", out);
    EXPECT_EQ(out, "head:\x82\xA0\x8E\xB1");
    detail::EucToSjisScalar("\xA4", out);
    EXPECT_EQ(Hex(out), "68 65 61 64 3A 82 A0 8E B1 82 7E");
}

// Random texts built from the pieces that steer the walks: ASCII runs, EUC and Shift_JIS
// pairs, katakana prefixes and bytes, 0x8F, the pass-through bytes and lone leads.
std::string RandomText(std::mt19937& rng, std::size_t length) {
    static const std::vector<std::string> kPieces = {
        "a",        "0",        "\r\n",     "log line ", "\xA4\xA2",     "\xB4\xC1",
        "\xFE\xFE", "\xA1\xA1", "\x8E\xB1", "\x8E",      "\x8F\xB0\xA1", "\x8F",
        "\x80",     "\xFF",     "\xA0",     "\x82\xA0",  "\x88\x9F",     "\x83\x41",
        "\xB1",     "\xDF",     "\xE0\x40", "\xFC\xFC",  "\x82",         "\xA4"};
    std::uniform_int_distribution<int> mode(0, 2);
    std::uniform_int_distribution<int> anyByte(0, 255);
    std::uniform_int_distribution<std::size_t> piece(0, kPieces.size() - 1);
    std::uniform_int_distribution<int> pair(0xA1, 0xFE);
    std::string text;
    const int kind = mode(rng);
    while (text.size() < length) {
        if (kind == 0) {
            text += static_cast<char>(anyByte(rng));
        } else if (kind == 1) {
            text += kPieces[piece(rng)];
        } else if (anyByte(rng) < 20) {
            text += kPieces[piece(rng)];
        } else {
            text += static_cast<char>(pair(rng));
            text += static_cast<char>(pair(rng));
        }
    }
    text.resize(length);
    return text;
}

// Each block converter is held to the scalar walks on its own, whichever one the public
// functions pick on this machine.
class FastPath : public testing::TestWithParam<std::string_view> {
protected:
    void SetUp() override {
        for (const detail::ConversionPath& path : detail::ConversionPaths()) {
            if (path.name == GetParam()) {
                if (!path.available) {
                    GTEST_SKIP() << "this CPU cannot run the " << path.name << " path";
                }
                path_ = &path;
                return;
            }
        }
        GTEST_SKIP() << "no " << GetParam() << " path in this build";
    }

    const detail::ConversionPath& Path() const { return *path_; }

private:
    const detail::ConversionPath* path_ = nullptr;
};

TEST(JapaneseConversion, ThePortablePathIsAlwaysBuiltAndRuns) {
    const std::vector<detail::ConversionPath>& paths = detail::ConversionPaths();
    ASSERT_FALSE(paths.empty());
    EXPECT_EQ(paths.front().name, "portable");
    EXPECT_TRUE(paths.front().available);
}

TEST_P(FastPath, MatchesScalarOnRandomTexts) {
    std::mt19937 rng(20240601);
    std::uniform_int_distribution<std::size_t> length(0, 300);
    for (int round = 0; round < 20000; ++round) {
        ExpectSameAsScalar(Path(), RandomText(rng, length(rng)));
        if (HasFatalFailure()) {
            return;
        }
    }
}

TEST_P(FastPath, MatchesScalarAtEverySplitNearBlockBoundaries) {
    const std::string pairs = "\xA4\xA2\xB4\xC1\xBB\xFA\xA4\xA4\xA5\xA2\xA1\xBC\xCF\xD3\xF4\xA6";
    const std::vector<std::string> oddities = {"x",    "\x8E\xB1", "\xB1", "\x8F", "\x80",
                                               "\xFF", "\xA4",     "\x82", "\xA0", "\r\n"};
    for (const std::string& oddity : oddities) {
        // Past the seam of 64-byte blocks, and of the 32-byte blocks that follow them.
        for (std::size_t at = 0; at <= 72; ++at) {
            std::string text = pairs + pairs + pairs + pairs + pairs + pairs;
            text.insert(at, oddity);
            for (std::size_t cut = 0; cut <= text.size(); ++cut) {
                ExpectSameAsScalar(Path(), std::string_view(text).substr(0, cut));
                ExpectSameAsScalar(Path(), std::string_view(text).substr(cut));
                if (HasFatalFailure()) {
                    return;
                }
            }
        }
    }
}

// Long texts are converted in stretches; pairs and katakana must survive every seam.
TEST_P(FastPath, MatchesScalarOnLongTexts) {
    std::mt19937 rng(7);
    for (std::size_t shift = 0; shift < 40; ++shift) {
        std::string text(shift, 'a');
        text += RandomText(rng, 40000 + shift);
        ExpectSameAsScalar(Path(), text);
        if (HasFatalFailure()) {
            return;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(JapaneseConversion, FastPath, testing::Values("portable", "sse2", "avx2"),
                         [](const testing::TestParamInfo<std::string_view>& info) {
                             return std::string(info.param);
                         });

}  // namespace
}  // namespace kv

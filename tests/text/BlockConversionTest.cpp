#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "text/BlockConversion.h"
#include "text/JapaneseConversion.h"
#include "text/LineIndex.h"

namespace kv::text {
namespace {

// Texts dense in what block seams can break: lead bytes of both encodings, half-width kana
// and its EUC-JP prefix, bytes that pass unchanged, CR and LF.
std::string RandomText(std::mt19937& random, std::size_t size) {
    static constexpr unsigned char kBytes[] = {'a',  '\r', '\n', 0x80, 0x8E, 0x8F, 0xA0,
                                               0xA1, 0xA4, 0xB1, 0xDF, 0xE0, 0xFE, 0xFF};
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kBytes - 1);
    std::string text(size, '\0');
    for (char& c : text) {
        c = static_cast<char>(kBytes[pick(random)]);
    }
    return text;
}

std::string Whole(BlockConverter::Direction direction, std::string_view text) {
    std::string out;
    if (direction == BlockConverter::Direction::EucToSjis) {
        detail::EucToSjisScalar(text, out);
    } else {
        detail::SjisToEucScalar(text, out);
    }
    return out;
}

std::string InBlocks(BlockConverter::Direction direction, std::string_view text,
                     const std::vector<std::size_t>& cuts) {
    BlockConverter converter(direction);
    std::string out;
    std::size_t from = 0;
    for (const std::size_t cut : cuts) {
        converter.Feed(text.substr(from, cut - from), out);
        from = cut;
    }
    converter.Feed(text.substr(from), out);
    converter.Finish(out);
    return out;
}

TEST(BlockConverterTest, GivesTheWholeTextsBytesWhereverTheTextIsCut) {
    std::mt19937 random(12);
    for (const auto direction :
         {BlockConverter::Direction::EucToSjis, BlockConverter::Direction::SjisToEuc}) {
        for (int round = 0; round < 200; ++round) {
            const std::string text = RandomText(random, 1 + random() % 90);
            const std::string expected = Whole(direction, text);
            // Every single seam, an empty block at the ends, and one-byte blocks throughout.
            for (std::size_t cut = 0; cut <= text.size(); ++cut) {
                ASSERT_EQ(InBlocks(direction, text, {cut, cut}), expected) << "cut at " << cut;
            }
            std::vector<std::size_t> bytes;
            for (std::size_t at = 1; at < text.size(); ++at) {
                bytes.push_back(at);
            }
            ASSERT_EQ(InBlocks(direction, text, bytes), expected);
        }
        // A lead byte that ends the whole text converts as the text's last byte.
        EXPECT_EQ(InBlocks(direction, "\xA4", {}), Whole(direction, "\xA4"));
        EXPECT_EQ(InBlocks(direction, "", {}), "");
    }
}

TEST(LineIndexTest, AgreesWithASplitAtLfHoweverTheTextGrows) {
    std::mt19937 random(7);
    for (int round = 0; round < 300; ++round) {
        std::string text = RandomText(random, random() % 120);
        if (round % 3 == 0) {
            text += std::string(5000, 'x');  // a line longer than the pieces it arrives in
        }
        std::vector<std::string> expected{""};
        for (const char c : text) {
            if (c == '\n') {
                std::string& last = expected.back();
                if (!last.empty() && last.back() == '\r') {
                    last.pop_back();
                }
                expected.emplace_back();
            } else {
                expected.back() += c;
            }
        }
        LineIndex index;
        for (std::size_t size = 0; size < text.size();) {
            size = std::min(text.size(), size + 1 + random() % 700);
            index.Extend(std::string_view(text).substr(0, size));
        }
        ASSERT_EQ(index.LineCount(), expected.size());
        std::size_t longest = 0;
        for (std::size_t line = 0; line < expected.size(); ++line) {
            ASSERT_EQ(index.Line(line, text), expected[line]) << "line " << line;
            longest = std::max(longest, expected[line].size());
            const std::size_t start = index.LineStart(line);
            EXPECT_EQ(index.LineOf(start), line);
            const std::size_t next =
                line + 1 < expected.size() ? index.LineStart(line + 1) : text.size() + 1;
            EXPECT_EQ(index.LineOf(next - 1), next - 1 >= start ? line : line - 1);
        }
        // The last line, open or not, may end in a CR whose LF has not come.
        EXPECT_GE(index.LongestLine() + 1, longest);
        EXPECT_LE(index.LongestLine(), longest + 1);
    }
}

}  // namespace
}  // namespace kv::text

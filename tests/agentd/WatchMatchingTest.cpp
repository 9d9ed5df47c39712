#include <algorithm>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "WatchHarness.h"
#include "agentd/PatternSet.h"
#include "text/Cp932.h"
#include "text/JapaneseConversion.h"

namespace kv {
namespace {

using Lines = std::vector<std::string>;

struct MatchCase {
    const char* name;
    std::string search;  // Shift_JIS, as the setting carries it
    std::string count;
    Lines appends;  // written one after another, the engine served between them
    Lines results;  // the lines that completed the count, in order
};

std::string Big(char c, std::size_t size) {
    return std::string(size, c);
}

TEST(WatchMatching, LinesAreCountedOnceAndMatchInEveryEncoding) {
    const std::string error = text::Sjis("エラー");
    const std::string utf8 = "エラー";
    const std::string euc = text::SjisToEuc(error);
    const std::size_t piece = agentd::FileFollower::kPieceBytes;
    const MatchCase cases[] = {
        {"ascii, once per line",
         "error",
         "1",
         {"an error\nnothing\nerror error\n"},
         {"an error", "error error"}},
        {"count of three", "error", "3", {"error 1\nerror 2\nerror 3\nerror 4\n"}, {"error 3"}},
        {"japanese in three encodings",
         error,
         "1",
         {utf8 + " utf8\n", euc + " euc\n", error + " sjis\n", "none\n"},
         {utf8 + " utf8", euc + " euc", error + " sjis"}},
        {"a lead byte with a backslash trail",
         text::Sjis("ソフト"),
         "1",
         {"ソフト更新\n"},
         {"ソフト更新"}},
        {"CR before LF is dropped", "error", "1", {"x error\r\n"}, {"x error"}},
        {"a last line waits for its end", "error", "1", {"one error", " two\n"}, {"one error two"}},
        {"binary bytes",
         "error",
         "1",
         {std::string("\0\xff\x80 error \0\n", 12)},
         {std::string("\0\xff\x80 error \0", 11)}},
        {"string cut by a piece boundary",
         "error",
         "1",
         {Big('x', piece - 2) + "error" + Big('y', 100) + "\n"},
         {"xxerror" + Big('y', 100)}},
        {"a long line is one hit",
         "error",
         "2",
         {"error" + Big('x', piece + piece / 2) + "error\n", "error last\n"},
         {"error last"}},
    };
    for (const MatchCase& c : cases) {
        SCOPED_TRACE(c.name);
        test::WatchHarness harness;
        harness.Append("app.log", "error already there\n");
        harness.Watch({{harness.Dir().File("app.log"), c.search, c.count}});
        harness.PumpFor(std::chrono::milliseconds(30));
        for (const std::string& bytes : c.appends) {
            harness.Append("app.log", bytes);
            harness.PumpFor(std::chrono::milliseconds(60));
        }
        harness.PumpUntil([&] { return harness.Sink().Fired().size() >= c.results.size(); });
        EXPECT_EQ(harness.Sink().ResultLines(), c.results);
    }
}

TEST(WatchMatching, RowsThatCannotBeWatchedAreSaidOnceAndTheOthersWork) {
    test::WatchHarness harness;
    const std::string file = harness.Dir().File("app.log");
    harness.Append("app.log", "");
    harness.Watch({{file, "a", "0"},
                   {file, "a", "-1"},
                   {file, "a", "abc"},
                   {file, "a", ""},
                   {file, "", "1"},
                   {"", "a", "1"},
                   {"relative.log", "a", "1"},
                   {file, "a", "+2"},
                   {file, "a", "2"}});
    for (int i = 0; i < 4; ++i) {
        harness.Append("app.log", "a\n");
        harness.PumpFor(std::chrono::milliseconds(30));
    }
    ASSERT_TRUE(harness.PumpUntil([&] { return harness.Sink().Fired().size() == 2; }))
        << text::Cp932ToUtf8(harness.Log()) << harness.Sink().Fired().size();
    const std::string log = harness.Log();
    for (int row = 1; row <= 8; ++row) {
        const std::string said =
            text::Sjis("監視行 ") + std::to_string(row) + text::Sjis(" は監視しません");
        EXPECT_EQ(log.find(said), log.rfind(said)) << row;
        EXPECT_NE(log.find(said), std::string::npos) << row;
    }
    EXPECT_EQ(log.find(text::Sjis("監視行 9 は")), std::string::npos);
}

// Every occurrence, as a naive search finds it, over texts and string sets of many shapes:
// one string or many, sharing a prefix or not, picked from the text or made up, with
// overlaps, high and binary bytes, and texts shorter than the strings.
TEST(WatchMatching, PatternSetFindsWhatANaiveSearchFinds) {
    struct Shape {
        const char* name;
        std::string alphabet;
        std::size_t strings;  // at most
        std::size_t shortest;
        std::size_t longest;
        std::size_t text;  // longest text
        std::string prefix;
    };
    std::string everyByte;
    for (int c = 0; c < 256; ++c) {
        everyByte += static_cast<char>(c);
    }
    const std::string japanese = text::Sjis("エラー警告ソフト") + "エラー警告" +
                                 text::SjisToEuc(text::Sjis("エラー警告")) + "ab \n";
    const Shape shapes[] = {
        {"one letter of two", "ab", 1, 0, 3, 300, ""},
        {"a few over two letters", "ab", 4, 0, 8, 300, ""},
        {"many over four letters", "abcd", 128, 0, 12, 2000, ""},
        {"one string of any bytes", everyByte, 1, 0, 40, 3000, ""},
        {"many of any bytes", everyByte, 128, 0, 40, 3000, ""},
        {"japanese bytes", japanese, 16, 0, 12, 1000, ""},
        {"a shared prefix", "abcdefgh", 128, 0, 10, 2000, "ERR"},
        {"a shared high prefix", "xyz", 128, 0, 6, 2000, "\xe3\x82"},
        {"long strings, short texts", "ab", 8, 0, 40, 50, ""},
        {"long texts, short strings", "abcdefgh", 40, 2, 8, 40000, ""},
        {"long texts, long strings", "abcdefgh", 40, 6, 12, 40000, ""},
    };
    std::mt19937 random(7);
    const auto below = [&](std::size_t n) { return static_cast<std::size_t>(random() % n); };
    for (const Shape& shape : shapes) {
        SCOPED_TRACE(shape.name);
        const auto letters = [&](std::size_t size) {
            std::string made;
            for (std::size_t i = 0; i < size; ++i) {
                made += shape.alphabet[below(shape.alphabet.size())];
            }
            return made;
        };
        for (int round = 0; round < 60; ++round) {
            std::string text = letters(below(shape.text + 1));
            std::vector<std::string> patterns(1 + below(shape.strings));
            for (std::string& pattern : patterns) {
                const std::size_t size =  // empty ones are left out
                    shape.shortest + below(shape.longest - shape.shortest + 1);
                const std::size_t at = below(text.size() + 1);
                pattern = below(2) == 0 && at + size <= text.size() ? text.substr(at, size)
                                                                    : letters(size);
                if (!pattern.empty()) {
                    pattern.insert(0, shape.prefix);
                }
            }
            // The prefixed strings turn up in the text too.
            for (std::size_t i = 0; i < patterns.size() && !shape.prefix.empty(); ++i) {
                text.insert(below(text.size() + 1), patterns[below(patterns.size())]);
            }
            std::vector<std::pair<std::size_t, std::size_t>> expected;
            for (std::size_t start = 0; start < text.size(); ++start) {
                for (std::size_t p = 0; p < patterns.size(); ++p) {
                    if (!patterns[p].empty() &&
                        text.compare(start, patterns[p].size(), patterns[p]) == 0) {
                        expected.emplace_back(start, p);
                    }
                }
            }
            std::vector<std::pair<std::size_t, std::size_t>> found;
            agentd::PatternSet(patterns).Scan(
                text, [&](std::size_t p, std::size_t start) { found.emplace_back(start, p); });
            ASSERT_TRUE(std::is_sorted(found.begin(), found.end(),
                                       [](auto& a, auto& b) { return a.first < b.first; }))
                << "round " << round;
            std::sort(found.begin(), found.end());
            ASSERT_EQ(found, expected) << "round " << round;
        }
    }
}

}  // namespace
}  // namespace kv

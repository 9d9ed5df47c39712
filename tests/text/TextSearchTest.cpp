#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "text/LineIndex.h"
#include "text/TextSearch.h"

namespace kv::text {
namespace {

// Where characters start: each line's own bytes walked from its start, a two-byte
// character cut short by the line end, whose bytes all stand alone.
std::vector<bool> CharacterStarts(const std::string& text) {
    std::vector<bool> starts(text.size() + 1, true);
    std::size_t lineStart = 0;
    while (lineStart <= text.size()) {
        std::size_t lf = text.find('\n', lineStart);
        lf = lf == std::string::npos ? text.size() : lf;
        const std::size_t end =
            lf > lineStart && text[lf - 1] == '\r' && lf < text.size() ? lf - 1 : lf;
        for (std::size_t at = lineStart; at < end;) {
            const bool pair = IsSjisLead(static_cast<unsigned char>(text[at])) && at + 1 < end;
            if (pair) {
                starts[at + 1] = false;
            }
            at += pair ? 2 : 1;
        }
        lineStart = lf + 1;
    }
    return starts;
}

std::size_t Search(TextSearch& search, std::size_t budget) {
    for (int steps = 0; steps < 100000; ++steps) {
        switch (search.Step(budget)) {
            case TextSearch::Result::Found:
                return search.MatchStart();
            case TextSearch::Result::NotFound:
                return std::string::npos;
            case TextSearch::Result::Running:
                break;
        }
    }
    ADD_FAILURE() << "search did not end";
    return std::string::npos;
}

// Forward and backward from every position, in slices as small as one byte: the match is
// the nearest one at a character start in that direction, going round the text once.
TEST(TextSearchTest, FindsTheNearestMatchAtACharacterStartGoingRoundOnce) {
    std::mt19937 random(5);
    static const std::vector<std::string> kPieces = {"a",    "\n",       "\r\n", "\x82\xA0",
                                                     "\xA0", "\x88\x9F", "\x82"};
    static const std::vector<std::string> kNeedles = {"a",     "\x82\xA0", "\xA0\x82",
                                                      "a\r\n", "\xA0",     "zz"};
    for (int round = 0; round < 120; ++round) {
        std::string text;
        for (int i = random() % 30; i > 0; --i) {
            text += kPieces[random() % kPieces.size()];
        }
        LineIndex index;
        index.Extend(text);
        const std::vector<bool> starts = CharacterStarts(text);
        for (const std::string& needle : kNeedles) {
            std::vector<std::size_t> matches;
            for (std::size_t at = 0; at + needle.size() <= text.size(); ++at) {
                if (starts[at] && text.compare(at, needle.size(), needle) == 0) {
                    matches.push_back(at);
                }
            }
            for (std::size_t from = 0; from <= text.size(); ++from) {
                std::size_t forward = matches.empty() ? std::string::npos : matches.front();
                for (const std::size_t m : matches) {
                    if (m >= from) {
                        forward = m;
                        break;
                    }
                }
                std::size_t backward = matches.empty() ? std::string::npos : matches.back();
                for (const std::size_t m : matches) {
                    if (m < from) {
                        backward = m;
                    }
                }
                TextSearch search;
                search.Start(text, index, needle, from, false);
                ASSERT_EQ(Search(search, 1 + round % 7), forward) << "forward from " << from;
                if (forward != std::string::npos) {
                    EXPECT_EQ(search.Wrapped(), forward < from);
                    EXPECT_EQ(search.MatchEnd(), forward + needle.size());
                }
                search.Start(text, index, needle, from, true);
                ASSERT_EQ(Search(search, 1 + round % 5), backward) << "backward from " << from;
                if (backward != std::string::npos) {
                    EXPECT_EQ(search.Wrapped(), backward >= from);
                }
            }
        }
    }
}

}  // namespace
}  // namespace kv::text

#include "agent/PaneFilter.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "agent/SjisMatcher.h"
#include "text/Cp932.h"

namespace kv::agent {
namespace {

using Id = NodeTree::Id;
using text::Sjis;

TEST(SjisMatcherTest, MatchesAtCharacterBoundariesIgnoringAsciiCase) {
    struct Case {
        std::string text;
        std::string pattern;
        std::size_t endAfter;
        bool found;
    };
    const std::vector<Case> cases = {
        {"syslog", "LOG", 0, true},
        {"SysLog", "slo", 0, true},
        {"syslog", "logs", 0, false},
        {"", "a", 0, false},
        {"abc", "", 0, true},
        // "ソ" is 0x83 0x5C: its trail byte is no backslash, and "x" after it is found.
        {Sjis("ソフト"), "\\", 0, false},
        {Sjis("ソx"), "x", 0, true},
        {Sjis("a\\ソ"), "\\", 0, true},
        // A two-byte character matches byte for byte, never case-folded.
        {Sjis("ログ設定.txt"), Sjis("ログ"), 0, true},
        {Sjis("ログ設定.txt"), Sjis("設定.TXT"), 0, true},
        {Sjis("ＡＢ"), Sjis("ａｂ"), 0, false},
        // The match must end after byte `endAfter`.
        {"/var/log/", "/var", 5, false},
        {"/var/log/", "var/l", 5, true},
        {"/var/log/log", "log", 9, true},
        // A lone lead byte at the end is a character of its own.
        {"a\x83", "\x83", 0, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SjisMatcher(c.pattern).Find(c.text, c.endAfter), c.found)
            << "text " << c.text << " pattern " << c.pattern;
    }
}

class PaneSearchTest : public ::testing::Test {
protected:
    PaneSearchTest() {
        Add(NodeTree::kNone, "DefaultSetting", Picture::DefaultSetting);
        const Id server = Add(NodeTree::kNone, "127.10.0.1", Picture::ServerLoaded);
        const Id root = Add(server, "/", Picture::RootDirectory);
        const Id var = Add(root, "var", Picture::Directory);
        log_ = Add(var, "log", Picture::Directory);
        messages_ = Add(log_, "messages", Picture::File);
        Add(log_, "syslog", Picture::File);
        Add(Add(var, "lib", Picture::Directory), "catalog.db", Picture::File);
        const Id etc = Add(root, "etc", Picture::Directory);
        Add(etc, "hosts", Picture::File);
        Add(etc, Sjis("ログ設定.txt"), Picture::File);
        Add(etc, Sjis("ソフト"), Picture::File);
        Add(NodeTree::kNone, "127.10.0.2", Picture::ServerNotLoaded);
    }

    Id Add(Id parent, const std::string& caption, Picture picture) {
        return tree_.Append(parent, caption, picture, picture);
    }

    std::unique_ptr<PaneFilter> Search(const std::string& pattern, Id kept = NodeTree::kNone,
                                       std::size_t budget = 1000) {
        PaneSearch search(tree_, pattern, kept);
        while (!search.Step(budget)) {
        }
        return search.Take();
    }

    // The shown nodes in pane order, indented by level; matches marked with '*'.
    std::string Shown(const PaneFilter& filter, Id parent = NodeTree::kNone, int level = 0) {
        std::string text;
        for (std::size_t row = 0; row < filter.ChildCount(parent); ++row) {
            const Id node = filter.Child(parent, row);
            EXPECT_EQ(filter.Row(node), row);
            text += std::string(level, ' ') + tree_.Caption(node) +
                    (filter.IsMatch(node) ? "*" : "") + "\n";
            text += Shown(filter, node, level + 1);
        }
        return text;
    }

    NodeTree tree_;
    Id log_ = NodeTree::kNone;
    Id messages_ = NodeTree::kNone;
};

TEST_F(PaneSearchTest, ShowsMatchesWithTheirAncestorsByNameOrByPath) {
    const std::string varLog = "127.10.0.1\n /\n  var\n   log*\n";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"LOG", "127.10.0.1\n /\n  var\n   log*\n    syslog*\n   lib\n    catalog.db*\n"},
        // With a '/', the path is searched and the match ends inside the node's own name.
        {"/var/log", varLog},
        {"var/log/", varLog},
        {"log/mess", "127.10.0.1\n /\n  var\n   log\n    messages*\n"},
        {"/", "127.10.0.1\n /*\n  var*\n   log*\n   lib*\n  etc*\n"},
        {Sjis("ログ"), "127.10.0.1\n /\n  etc\n   " + Sjis("ログ設定.txt") + "*\n"},
        {"\\", ""},
        {"127.10.0", "127.10.0.1*\n127.10.0.2*\n"},
        {"nothing here", ""},
        // Typed text Shift_JIS lacks arrives as a line feed, which no name holds.
        {"\n", ""},
    };
    for (const auto& [pattern, shown] : cases) {
        EXPECT_EQ(Shown(*Search(pattern)), shown) << "pattern " << pattern;
        // Slices of one node give the same result.
        EXPECT_EQ(Shown(*Search(pattern, NodeTree::kNone, 1)), shown) << "pattern " << pattern;
    }
}

TEST_F(PaneSearchTest, KeepsTheSelectionInViewAndWalksMatchesInPaneOrder) {
    const auto filter = Search("log", messages_);
    EXPECT_EQ(
        Shown(*filter),
        "127.10.0.1\n /\n  var\n   log*\n    messages\n    syslog*\n   lib\n    catalog.db*\n");
    EXPECT_EQ(filter->Matches().size(), 3u);
    const auto caption = [&](Id node) { return tree_.Caption(node); };
    EXPECT_EQ(caption(filter->NextMatch(tree_, messages_)), "syslog");
    EXPECT_EQ(caption(filter->NextMatch(tree_, log_)), "syslog");
    const Id syslog = filter->NextMatch(tree_, log_);
    EXPECT_EQ(caption(filter->NextMatch(tree_, syslog)), "catalog.db");
    const Id catalog = filter->NextMatch(tree_, syslog);
    EXPECT_EQ(caption(filter->NextMatch(tree_, catalog)), "log");
    // From a node the filter hides, or from the top: the first match.
    EXPECT_EQ(caption(filter->NextMatch(tree_, tree_.Children(NodeTree::kNone)[0])), "log");
    EXPECT_EQ(caption(filter->NextMatch(tree_, tree_.Parent(log_))), "log");
    EXPECT_EQ(Search("nothing")->NextMatch(tree_, log_), NodeTree::kNone);
}

TEST_F(PaneSearchTest, NodesNewerThanTheSearchAreNotShown) {
    PaneSearch search(tree_, "log", NodeTree::kNone);
    search.Step(3);
    const Id late = Add(log_, "late.log", Picture::File);
    while (!search.Step(2)) {
    }
    const auto filter = search.Take();
    EXPECT_FALSE(filter->Visible(late));
    EXPECT_EQ(filter->ChildCount(late), 0u);
    EXPECT_EQ(filter->Matches().size(), 3u);
    EXPECT_THROW(search.Take(), std::logic_error);
}

}  // namespace
}  // namespace kv::agent

#include "agent/TreeList.h"

#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

using namespace kv::agent;

namespace kv {
namespace {

using namespace std::string_literals;

// "level text" per node, in list order.
std::vector<std::string> Shape(const TTreeList& list) {
    std::vector<std::string> shape;
    for (TTreeList::Index i = 0; i < list.Count(); ++i) {
        shape.push_back(std::to_string(list.Level(i)) + " " + std::string(list.Text(i)));
    }
    return shape;
}

std::vector<std::string> Fields(const TTreeList& list, TTreeList::Index node) {
    std::vector<std::string> fields;
    for (std::string_view f : list.SubItems(node)) {
        fields.emplace_back(f);
    }
    return fields;
}

template <class Reply>
concept Loadable = requires(TTreeList list, Reply&& reply) {
    list.LoadFromBuffer(std::forward<Reply>(reply));
};
// A temporary string would leave the nodes pointing into freed memory.
static_assert(!Loadable<std::string>);
static_assert(Loadable<const std::string&>);
static_assert(Loadable<std::string&>);
static_assert(Loadable<const char*>);

TEST(TreeListTest, SplitsAtEveryKindOfLineEnd) {
    const std::vector<std::string> expected{"0 root", "1 a", "1 b", "1 c", "1 d"};
    for (const std::string& reply :
         {"root\r\n\ta\r\n\tb\r\n\tc\r\n\td"s, "root\n\ta\n\tb\n\tc\n\td\n"s,
          "root\r\ta\r\tb\r\tc\r\td\r"s, "root\r\n\ta\r\tb\n\tc\r\n\td"s}) {
        TTreeList list;
        list.LoadFromBuffer(reply);
        EXPECT_EQ(Shape(list), expected) << reply;
    }
}

TEST(TreeListTest, CrLfIsOneLineEndButLfCrIsTwo) {
    TTreeList list;
    list.LoadFromBuffer("root\n\ta\n\r\tb");
    EXPECT_EQ(Shape(list), (std::vector<std::string>{"0 root", "1 a", "0 ", "1 b"}));
}

TEST(TreeListTest, NulEndsTheText) {
    TTreeList list;
    const std::string reply = "root\n\ta\0\n\tb\n"s;
    list.LoadFromBuffer(reply);
    EXPECT_EQ(Shape(list), (std::vector<std::string>{"0 root", "1 a"}));
    const std::string hidden = "\0root\n"s;
    list.LoadFromBuffer(hidden);
    EXPECT_TRUE(list.Empty());
    EXPECT_EQ(list.First(), TTreeList::kNone);
}

TEST(TreeListTest, EmptyReplyAndLoneLineEnds) {
    TTreeList list;
    list.LoadFromBuffer("");
    EXPECT_TRUE(list.Empty());
    list.LoadFromBuffer("\n");
    EXPECT_EQ(Shape(list), (std::vector<std::string>{"0 "}));
    list.LoadFromBuffer("\r\n\r\n");
    EXPECT_EQ(Shape(list), (std::vector<std::string>{"0 ", "0 "}));
}

TEST(TreeListTest, TabsAndSpacesEachCountOneLevel) {
    TTreeList list;
    list.LoadFromBuffer("root\n a\n\t b\n \tc\n \t d\n\t\te");
    EXPECT_EQ(Shape(list), (std::vector<std::string>{"0 root", "1 a", "2 b", "2 c", "3 d", "2 e"}));
    EXPECT_EQ(list.Parent(4), 3u);
    EXPECT_EQ(list.Parent(5), 1u);
}

TEST(TreeListTest, FirstLineIsTopLevelWhateverItsIndentation) {
    TTreeList list;
    list.LoadFromBuffer("\t\t\troot\n\tchild\nsecond");
    EXPECT_EQ(Shape(list), (std::vector<std::string>{"0 root", "1 child", "0 second"}));
    EXPECT_EQ(list.NextSibling(0), 2u);
}

TEST(TreeListTest, LinksChildrenSiblingsAndClimbsSeveralLevels) {
    TTreeList list;
    list.LoadFromBuffer("r\n\ta\n\t\ta1\n\t\t\ta11\n\t\ta2\n\tb\n\t\t\n\tc\nr2\n\tx");
    EXPECT_EQ(Shape(list), (std::vector<std::string>{"0 r", "1 a", "2 a1", "3 a11", "2 a2", "1 b",
                                                     "2 ", "1 c", "0 r2", "1 x"}));
    EXPECT_EQ(list.FirstChild(0), 1u);
    EXPECT_EQ(list.ChildCount(0), 3u);
    EXPECT_EQ(list.NextSibling(0), 8u);
    EXPECT_EQ(list.FirstChild(3), TTreeList::kNone);
    EXPECT_EQ(list.FirstChild(5), 6u);
    EXPECT_EQ(list.NextSibling(1), 5u);
    EXPECT_EQ(list.NextSibling(2), 4u);
    EXPECT_EQ(list.NextSibling(3), TTreeList::kNone);
    EXPECT_EQ(list.Parent(4), 1u);
    EXPECT_EQ(list.NextSibling(5), 7u);
    EXPECT_EQ(list.Parent(6), 5u);
    EXPECT_EQ(list.Parent(7), 0u);
    EXPECT_EQ(list.Parent(8), TTreeList::kNone);
    EXPECT_EQ(list.Parent(9), 8u);
}

TEST(TreeListTest, FieldsSplitAtEveryTabWithEscAsEmpty) {
    TTreeList list;
    list.LoadFromBuffer("IsDir /\t1\t\x1b\t\n\t\x1b\tx\x1b\t\x1b\x1b\n\tplain\n\ttrail\t");
    ASSERT_EQ(list.Count(), 4u);
    EXPECT_EQ(list.Text(0), "IsDir /");
    EXPECT_EQ(Fields(list, 0), (std::vector<std::string>{"1", "", ""}));
    EXPECT_EQ(list.Text(1), "");
    EXPECT_EQ(Fields(list, 1), (std::vector<std::string>{"x\x1b", "\x1b\x1b"}));
    EXPECT_TRUE(list.SubItems(2).empty());
    EXPECT_EQ(Fields(list, 3), (std::vector<std::string>{""}));
}

TEST(TreeListTest, TooDeepALineFailsWithItsTextAndLeavesTheListEmpty) {
    TTreeList list;
    list.LoadFromBuffer("old\n\tkept");
    const std::string reply = "IsDir /\n\tIsDir etc\n\t\t\thosts\tx\n\tIsDir tmp\n";
    try {
        list.LoadFromBuffer(reply);
        FAIL() << "no error";
    } catch (const ETreeViewError& e) {
        // アイテム "hosts" の階層 (0:d) が不正です, in Shift_JIS.
        EXPECT_EQ(std::string(e.what()),
                  "\x83\x41\x83\x43\x83\x65\x83\x80 \"hosts\" \x82\xcc\x8a\x4b\x91\x77 (0:d) "
                  "\x82\xaa\x95\x73\x90\xb3\x82\xc5\x82\xb7");
        EXPECT_EQ(e.LineNumber(), 3u);
        EXPECT_EQ(e.Level(), 3u);
    }
    EXPECT_TRUE(list.Empty());
}

TEST(TreeListTest, TooDeepRightAfterTheFirstLineFails) {
    TTreeList list;
    EXPECT_THROW(list.LoadFromBuffer("root\n\t\tdeep"), ETreeViewError);
    EXPECT_NO_THROW(list.LoadFromBuffer("\t\troot\n\tchild"));
}

TEST(TreeListTest, DeepChainParses) {
    // One indentation character per level makes the text grow with the square of the depth.
    constexpr std::size_t depth = 5000;
    std::string reply;
    for (std::size_t level = 0; level < depth; ++level) {
        reply.append(level, ' ').append("IsDir d\n");
    }
    TTreeList list;
    list.LoadFromBuffer(reply);
    ASSERT_EQ(list.Count(), depth);
    EXPECT_EQ(list.Level(depth - 1), depth - 1);
    EXPECT_EQ(list.Parent(depth - 1), depth - 2);
}

}  // namespace
}  // namespace kv

#include "agent/SubtreeBuilder.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

using namespace kv::agent;

namespace kv {
namespace {

using Id = NodeTree::Id;

// One line per node below `parent`: two spaces per level, caption, [picture/selected].
void Dump(const NodeTree& tree, Id parent, int indent, std::string& out) {
    for (Id child : tree.Children(parent)) {
        out.append(static_cast<std::size_t>(indent) * 2, ' ')
            .append(tree.Caption(child))
            .append(" [")
            .append(std::to_string(static_cast<int>(tree.PictureOf(child))))
            .append("/")
            .append(std::to_string(static_cast<int>(tree.SelectedPictureOf(child))))
            .append("]\n");
        Dump(tree, child, indent + 1, out);
    }
}

struct CountingObserver : NodeTree::Observer {
    int appended = 0;
    std::size_t rows = 0;
    void RowsAppended(Id, std::size_t, std::size_t count) override {
        ++appended;
        rows += count;
    }
    void RowsAboutToBeRemoved(Id, std::size_t, std::size_t) override {}
    void RowsRemoved() override {}
};

class SubtreeBuilderTest : public ::testing::Test {
protected:
    NodeTree tree;
    TreeProgress progress;
    Id server = tree.Append(NodeTree::kNone, "127.11.2.3", Picture::ServerNotLoaded,
                            Picture::ServerNotLoaded);

    std::string Build(std::string_view reply) {
        BuildServerSubtree(tree, server, reply, progress);
        std::string out;
        Dump(tree, server, 0, out);
        return out;
    }
};

TEST_F(SubtreeBuilderTest, FourLineReplyShowsDirectoriesAndStepsOnceForANonEmptyOne) {
    std::vector<int> steps;
    progress.changed = [&](int position) { steps.push_back(position); };
    EXPECT_EQ(Build("IsDir /\n\tIsDir etc\n\t\thosts\n\tIsDir tmp\n"),
              "/ [2/2]\n"
              "  etc [3/4]\n"
              "    hosts [5/5]\n"
              "  tmp [3/4]\n");
    EXPECT_EQ(tree.PictureOf(server), Picture::ServerLoaded);
    EXPECT_EQ(tree.SelectedPictureOf(server), Picture::ServerLoaded);
    EXPECT_EQ(progress.position, 1);
    EXPECT_EQ(steps, std::vector<int>{1});
}

TEST_F(SubtreeBuilderTest, BadLevelLeavesAnEmptyRootAndThrows) {
    EXPECT_THROW(BuildServerSubtree(tree, server, "IsDir /\n\tIsDir a\n\t\t\tx\n", progress),
                 ETreeViewError);
    ASSERT_EQ(tree.ChildCount(server), 1u);
    const Id root = tree.Children(server)[0];
    EXPECT_EQ(tree.Caption(root), "/");
    EXPECT_EQ(tree.ChildCount(root), 0u);
    EXPECT_EQ(tree.PictureOf(server), Picture::ServerLoaded);
    EXPECT_EQ(progress.position, 0);
}

TEST_F(SubtreeBuilderTest, EmptyReplyGivesABareRoot) {
    EXPECT_EQ(Build(""), "/ [2/2]\n");
    EXPECT_EQ(Build("only the root line"), "/ [2/2]\n/ [2/2]\n");
}

TEST_F(SubtreeBuilderTest, MarkersAnywhereCaseExactEveryOccurrenceRemoved) {
    EXPECT_EQ(Build("r\n"
                    " IsDir a IsDir b\n"
                    " x IsEnd y IsEnd \n"
                    " IsDir both IsEnd \n"
                    " isdir lower\n"
                    " IsDir\n"
                    " IsDiIsDir r \n"
                    " \x1b\n"
                    " \x1b\tmeta\n"),
              "/ [2/2]\n"
              "  a b [3/4]\n"
              "  x y  [6/6]\n"
              "  both IsEnd  [3/4]\n"
              "  isdir lower [5/5]\n"
              "  IsDir [5/5]\n"
              "  IsDir  [3/4]\n"
              "   [5/5]\n"
              "   [5/5]\n");
}

TEST_F(SubtreeBuilderTest, OnlyTheFirstTopLevelEntryIsShown) {
    EXPECT_EQ(Build("IsDir /\n\tIsDir a\n\t\tf\nsecond\n\tIsDir hidden\n\t\tg\n"),
              "/ [2/2]\n  a [3/4]\n    f [5/5]\n");
    EXPECT_EQ(progress.position, 1);
}

TEST_F(SubtreeBuilderTest, ProgressStopsAtSeventeen) {
    std::string reply = "IsDir /\n";
    for (int i = 0; i < 20; ++i) {
        reply += "\tIsDir d" + std::to_string(i) + "\n\t\tIsDir inner\n\t\t\tf\n";
    }
    reply += "\tfile\n\tIsEnd note\n\t\tchild of a notice\n";
    int calls = 0;
    progress.changed = [&](int) { ++calls; };
    BuildServerSubtree(tree, server, reply, progress);
    EXPECT_EQ(progress.position, TreeProgress::kMaximum);
    EXPECT_EQ(calls, TreeProgress::kMaximum);
    EXPECT_EQ(tree.Size(), 1u + 1u + 20u * 3u + 3u);
}

TEST_F(SubtreeBuilderTest, RebuildAfterRemovingChildrenLeavesOneRoot) {
    Build("IsDir /\n\tIsDir a\n\t\tf\n");
    tree.RemoveChildren(server);
    EXPECT_EQ(Build("IsDir /\n\tg\n"), "/ [2/2]\n  g [5/5]\n");
    EXPECT_EQ(tree.Size(), 3u);
}

TEST_F(SubtreeBuilderTest, ViewHearsOfTheRootAndItsRowsOnce) {
    CountingObserver observer;
    tree.SetObserver(&observer);
    Build("IsDir /\n\tIsDir a\n\t\tf1\n\t\tf2\n\tb\n\tc\n");
    EXPECT_EQ(observer.appended, 2);
    EXPECT_EQ(observer.rows, 1u + 3u);
}

TEST_F(SubtreeBuilderTest, AppendAllChildFromAnInnerSourceAndFromNothing) {
    TTreeList list;
    list.LoadFromBuffer("r\n\tIsDir a\n\t\tx\n\t\tIsDir y\n\t\t\tz\n\tb\n");
    const Id target = tree.Append(server, "target", Picture::Directory, Picture::DirectoryOpen);
    AppendAllChild(list, 1, tree, target, progress);
    std::string out;
    Dump(tree, target, 0, out);
    EXPECT_EQ(out, "x [5/5]\ny [3/4]\n  z [5/5]\n");
    EXPECT_EQ(progress.position, 1);
    AppendAllChild(list, TTreeList::kNone, tree, target, progress);
    EXPECT_EQ(tree.ChildCount(target), 2u);
}

TEST_F(SubtreeBuilderTest, DeepListingBuildsIteratively) {
    constexpr std::size_t depth = 5000;
    std::string reply;
    for (std::size_t level = 0; level < depth; ++level) {
        reply.append(level, '\t').append("IsDir d\n");
    }
    const Id root = BuildServerSubtree(tree, server, reply, progress);
    Id node = root;
    std::size_t levels = 0;
    while (tree.ChildCount(node) == 1) {
        node = tree.Children(node)[0];
        ++levels;
    }
    EXPECT_EQ(levels, depth - 1);
    EXPECT_EQ(RemotePath(tree, node).size(), 2 * (depth - 1));
}

}  // namespace
}  // namespace kv

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "agent/NodeTree.h"
#include "agent/SubtreeBuilder.h"
#include "cli/TreeLines.h"

using namespace kv::agent;
using namespace kv::cli;

namespace kv {
namespace {

struct Built {
    NodeTree tree;
    NodeTree::Id root = NodeTree::kNone;
};

void Build(Built& built, std::string_view reply) {
    const NodeTree::Id server = built.tree.Append(
        NodeTree::kNone, "127.10.0.1", Picture::ServerNotLoaded, Picture::ServerNotLoaded);
    TreeProgress progress;
    built.root = BuildServerSubtree(built.tree, server, reply, progress);
}

std::string Lines(const Built& built, std::size_t pieceSize = 1 << 20) {
    std::string text;
    WriteTreeLines(
        built.tree, built.root, [&](std::string_view piece) { text += piece; }, pieceSize);
    return text;
}

TEST(TreeLinesTest, PaneOrderWithDirectoryAndNoticeMarks) {
    Built built;
    Build(built,
          "IsDir /\n"
          "\tIsDir etc\n"
          "\t\thosts\n"
          "\t\tIsDir empty\n"
          "\tIsDir tmp\n"
          "\tIsEnd too many files\n"
          "second top-level entry\n"
          "\tnot shown\n");
    EXPECT_EQ(Lines(built),
              "/\n"
              "/etc/\n"
              "/etc/hosts\n"
              "/etc/empty/\n"
              "/tmp/\n"
              "! /too many files\n");
}

TEST(TreeLinesTest, EveryPathIsTheNodesRemotePath) {
    Built built;
    Build(built,
          "root\tx\n"
          " IsDir a\n"
          "  IsDir b\n"
          "   IsDir c\n"
          "    deep\tsize\t\x1b\n"
          "  after c\n"
          " \x1b\n"
          " IsDir both IsEnd marks\n");
    std::vector<std::string> expected{"/"};
    const std::function<void(NodeTree::Id)> walk = [&](NodeTree::Id node) {
        for (const NodeTree::Id child : built.tree.Children(node)) {
            std::string line = RemotePath(built.tree, child);
            if (built.tree.PictureOf(child) == Picture::Directory) {
                line += '/';
            }
            expected.push_back(line);
            walk(child);
        }
    };
    walk(built.root);
    std::string joined;
    for (const std::string& line : expected) {
        joined += line + "\n";
    }
    EXPECT_EQ(Lines(built), joined);
    // An ESC name is an empty caption; a name with both markers is a directory that keeps
    // "IsEnd ".
    EXPECT_NE(joined.find("\n/\n"), std::string::npos);
    EXPECT_NE(joined.find("\n/both IsEnd marks/\n"), std::string::npos);
}

TEST(TreeLinesTest, PiecesEndAtLineEnds) {
    Built built;
    std::string reply = "IsDir /\n";
    for (int i = 0; i < 50; ++i) {
        reply += "\tIsDir d" + std::to_string(i) + "\n\t\tf\n";
    }
    Build(built, reply);
    std::vector<std::string> pieces;
    WriteTreeLines(
        built.tree, built.root, [&](std::string_view piece) { pieces.emplace_back(piece); }, 64);
    ASSERT_GT(pieces.size(), 2u);
    std::string joined;
    for (const std::string& piece : pieces) {
        ASSERT_FALSE(piece.empty());
        EXPECT_EQ(piece.back(), '\n');
        joined += piece;
    }
    EXPECT_EQ(joined, Lines(built));
}

TEST(TreeLinesTest, AnEmptyReplyIsTheRootAlone) {
    Built built;
    Build(built, "");
    EXPECT_EQ(Lines(built), "/\n");
}

TEST(TreeLinesTest, ADeepChainNeedsNoRecursion) {
    Built built;
    std::string reply = "/\n";
    const int depth = 2000;
    for (int i = 1; i <= depth; ++i) {
        reply += std::string(static_cast<std::size_t>(i), ' ') + "IsDir d\n";
    }
    Build(built, reply);
    const std::string text = Lines(built, 1 << 16);
    std::string last;
    for (int i = 0; i < depth; ++i) {
        last += "/d";
    }
    EXPECT_TRUE(text.ends_with("\n" + last + "/\n"));
}

}  // namespace
}  // namespace kv

#include "agent/NodeTree.h"

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

using namespace kv::agent;

namespace kv {
namespace {

using Id = NodeTree::Id;

// Every notification as one line of text.
struct Recorder : NodeTree::Observer {
    std::vector<std::string> events;
    static std::string Name(Id parent) {
        return parent == NodeTree::kNone ? "top" : std::to_string(parent);
    }
    void RowsAppended(Id parent, std::size_t first, std::size_t count) override {
        events.push_back("appended " + Name(parent) + " " + std::to_string(first) + "+" +
                         std::to_string(count));
    }
    void RowsAboutToBeRemoved(Id parent, std::size_t first, std::size_t count) override {
        events.push_back("removing " + Name(parent) + " " + std::to_string(first) + "+" +
                         std::to_string(count));
    }
    void RowsRemoved() override { events.push_back("removed"); }
    void PicturesChanged(Id node) override { events.push_back("pictures " + Name(node)); }
};

Id Add(NodeTree& tree, Id parent, const std::string& caption) {
    return tree.Append(parent, caption, Picture::File, Picture::File);
}

std::vector<std::string> Captions(const NodeTree& tree, Id parent) {
    std::vector<std::string> captions;
    for (Id child : tree.Children(parent)) {
        captions.push_back(tree.Caption(child));
    }
    return captions;
}

class NodeTreeTest : public ::testing::Test {
protected:
    NodeTree tree;
    Recorder recorder;
};

TEST_F(NodeTreeTest, AppendKeepsOrderRowsAndParents) {
    const Id server = tree.Append(NodeTree::kNone, "127.10.0.1", Picture::ServerNotLoaded,
                                  Picture::ServerNotLoaded);
    const Id other = Add(tree, NodeTree::kNone, "127.10.0.2");
    const Id root = tree.Append(server, "/", Picture::RootDirectory, Picture::RootDirectory);
    const Id var = tree.Append(root, "var", Picture::Directory, Picture::DirectoryOpen);
    const Id etc = Add(tree, root, "etc");
    EXPECT_EQ(Captions(tree, NodeTree::kNone),
              (std::vector<std::string>{"127.10.0.1", "127.10.0.2"}));
    EXPECT_EQ(Captions(tree, root), (std::vector<std::string>{"var", "etc"}));
    EXPECT_EQ(tree.Row(other), 1u);
    EXPECT_EQ(tree.Row(etc), 1u);
    EXPECT_EQ(tree.Parent(server), NodeTree::kNone);
    EXPECT_EQ(tree.Parent(var), root);
    EXPECT_EQ(tree.TopLevelAncestor(etc), server);
    EXPECT_EQ(tree.TopLevelAncestor(server), server);
    EXPECT_EQ(tree.PictureOf(var), Picture::Directory);
    EXPECT_EQ(tree.SelectedPictureOf(var), Picture::DirectoryOpen);
    EXPECT_EQ(tree.Size(), 5u);
}

TEST_F(NodeTreeTest, RemoveTakesTheSubtreeAndRenumbersLaterSiblings) {
    const Id a = Add(tree, NodeTree::kNone, "a");
    const Id b = Add(tree, NodeTree::kNone, "b");
    const Id c = Add(tree, NodeTree::kNone, "c");
    const Id b1 = Add(tree, b, "b1");
    const Id b11 = Add(tree, b1, "b11");
    tree.SetObserver(&recorder);
    tree.Remove(b);
    EXPECT_EQ(recorder.events, (std::vector<std::string>{"removing top 1+1", "removed"}));
    EXPECT_EQ(Captions(tree, NodeTree::kNone), (std::vector<std::string>{"a", "c"}));
    EXPECT_EQ(tree.Row(c), 1u);
    EXPECT_FALSE(tree.IsAlive(b));
    EXPECT_FALSE(tree.IsAlive(b1));
    EXPECT_FALSE(tree.IsAlive(b11));
    EXPECT_TRUE(tree.IsAlive(a));
    EXPECT_EQ(tree.Size(), 2u);
    EXPECT_THROW(tree.Caption(b1), std::out_of_range);
    EXPECT_THROW(tree.Remove(b), std::out_of_range);
    EXPECT_THROW(tree.Children(b11), std::out_of_range);
    EXPECT_THROW(Add(tree, b1, "orphan"), std::out_of_range);
    EXPECT_EQ(tree.Size(), 2u);
}

TEST_F(NodeTreeTest, IdsAreNeverReusedAfterRemoveOrClear) {
    std::vector<Id> seen;
    for (int round = 0; round < 3; ++round) {
        const Id x = Add(tree, NodeTree::kNone, "x");
        seen.push_back(x);
        seen.push_back(Add(tree, x, "y"));
        if (round == 1) {
            tree.Remove(x);
        } else {
            tree.Clear();
        }
        EXPECT_EQ(tree.Size(), 0u);
    }
    for (std::size_t i = 0; i < seen.size(); ++i) {
        EXPECT_FALSE(tree.IsAlive(seen[i]));
        for (std::size_t j = i + 1; j < seen.size(); ++j) {
            EXPECT_NE(seen[i], seen[j]);
        }
    }
    const Id fresh = Add(tree, NodeTree::kNone, "fresh");
    EXPECT_GT(fresh, seen.back());
    EXPECT_EQ(tree.Caption(fresh), "fresh");
}

TEST_F(NodeTreeTest, RemoveChildrenKeepsTheNode) {
    const Id server = Add(tree, NodeTree::kNone, "s");
    const Id root = Add(tree, server, "/");
    Add(tree, root, "f");
    tree.SetObserver(&recorder);
    tree.RemoveChildren(server);
    tree.RemoveChildren(server);
    EXPECT_EQ(recorder.events,
              (std::vector<std::string>{"removing " + std::to_string(server) + " 0+1", "removed"}));
    EXPECT_TRUE(tree.IsAlive(server));
    EXPECT_FALSE(tree.IsAlive(root));
    EXPECT_EQ(tree.ChildCount(server), 0u);
    EXPECT_EQ(tree.Size(), 1u);
}

TEST_F(NodeTreeTest, NotifiesAppendsClearsAndPictureChanges) {
    tree.SetObserver(&recorder);
    const Id a = Add(tree, NodeTree::kNone, "a");
    Add(tree, a, "a1");
    Add(tree, a, "a2");
    tree.SetPictures(a, Picture::ServerLoaded, Picture::ServerLoaded);
    tree.Clear();
    tree.Clear();
    const std::string an = std::to_string(a);
    EXPECT_EQ(recorder.events,
              (std::vector<std::string>{"appended top 0+1", "appended " + an + " 0+1",
                                        "appended " + an + " 1+1", "pictures " + an,
                                        "removing top 0+1", "removed"}));
    EXPECT_EQ(tree.Size(), 0u);
}

TEST_F(NodeTreeTest, BatchAnnouncesOnlyTheRowsBelowItsParent) {
    const Id server = Add(tree, NodeTree::kNone, "s");
    const Id root = Add(tree, server, "/");
    Add(tree, root, "existing");
    tree.SetObserver(&recorder);
    {
        NodeTree::AppendBatch batch(tree, root, 4);
        const Id dir = batch.Append(root, "dir", Picture::Directory, Picture::DirectoryOpen, 2);
        batch.Append(dir, "f1", Picture::File, Picture::File);
        batch.Append(dir, "f2", Picture::File, Picture::File);
        batch.Append(root, "g", Picture::File, Picture::File);
        EXPECT_TRUE(recorder.events.empty());
        EXPECT_THROW(batch.Append(server, "elsewhere", Picture::File, Picture::File),
                     std::invalid_argument);
        EXPECT_THROW(batch.Append(NodeTree::kNone, "top", Picture::File, Picture::File),
                     std::invalid_argument);
        EXPECT_EQ(Captions(tree, dir), (std::vector<std::string>{"f1", "f2"}));
    }
    EXPECT_EQ(recorder.events,
              (std::vector<std::string>{"appended " + std::to_string(root) + " 1+2"}));
    EXPECT_EQ(Captions(tree, root), (std::vector<std::string>{"existing", "dir", "g"}));
    EXPECT_EQ(tree.Size(), 7u);
}

TEST_F(NodeTreeTest, EmptyBatchIsSilent) {
    const Id server = Add(tree, NodeTree::kNone, "s");
    tree.SetObserver(&recorder);
    { NodeTree::AppendBatch batch(tree, server, 10); }
    EXPECT_TRUE(recorder.events.empty());
}

TEST_F(NodeTreeTest, VeryDeepChainIsWalkedAndRemovedWithoutRecursion) {
    constexpr int depth = 100000;
    const Id server = Add(tree, NodeTree::kNone, "s");
    Id node = Add(tree, server, "/");
    for (int i = 0; i < depth; ++i) {
        node = Add(tree, node, "d");
    }
    EXPECT_EQ(tree.TopLevelAncestor(node), server);
    EXPECT_EQ(RemotePath(tree, node).size(), 2u * depth);
    tree.Remove(server);
    EXPECT_EQ(tree.Size(), 0u);
}

TEST_F(NodeTreeTest, RemotePathJoinsCaptionsBelowTheRootDirectory) {
    const Id server = Add(tree, NodeTree::kNone, "127.168.0.5");
    const Id root = Add(tree, server, "/");
    const Id var = Add(tree, root, "var");
    const Id log = Add(tree, var, "log");
    const Id messages = Add(tree, log, "messages");
    const Id spaced = Add(tree, root, "a b");
    const Id blank = Add(tree, var, "");
    EXPECT_EQ(RemotePath(tree, messages), "/var/log/messages");
    EXPECT_EQ(RemotePath(tree, var), "/var");
    EXPECT_EQ(RemotePath(tree, spaced), "/a b");
    EXPECT_EQ(RemotePath(tree, blank), "/var/");
    EXPECT_EQ(RemotePath(tree, root), "/");
    EXPECT_EQ(RemotePath(tree, server), "/127.168.0.5");
    EXPECT_THROW(RemotePath(tree, NodeTree::kNone), std::out_of_range);
}

TEST_F(NodeTreeTest, RemotePathIsNotCutShortByAnEntryCaptionedSlash) {
    const Id server = Add(tree, NodeTree::kNone, "s");
    const Id root = Add(tree, server, "/");
    const Id odd = Add(tree, root, "/");
    const Id file = Add(tree, odd, "f");
    EXPECT_EQ(RemotePath(tree, file), "///f");
}

TEST(HugePageAllocatorTest, LargeBlocksAreAlignedAndKeepTheirContentWhileGrowing) {
    std::vector<std::uint32_t, HugePageAllocator<std::uint32_t>> values;
    for (std::uint32_t i = 0; i < 3'000'000; ++i) {
        values.push_back(i * 7);
        if (values.size() == values.capacity() &&
            values.size() * sizeof(std::uint32_t) > (2u << 20)) {
            EXPECT_EQ(reinterpret_cast<std::uintptr_t>(values.data()) % (2u << 20), 0u);
        }
    }
    for (std::uint32_t i = 0; i < values.size(); i += 4099) {
        ASSERT_EQ(values[i], i * 7);
    }
    values.resize(10);
    values.shrink_to_fit();
    EXPECT_EQ(values.back(), 63u);
}

}  // namespace
}  // namespace kv

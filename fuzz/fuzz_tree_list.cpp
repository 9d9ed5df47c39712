// Tree replies from an Agent are outside bytes: parse them, build them below a server node,
// check the copy against the scratch tree, and walk remote paths.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "FuzzCheck.h"
#include "agent/NodeTree.h"
#include "agent/SubtreeBuilder.h"
#include "agent/TreeList.h"

using namespace kv::agent;
using namespace kv::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view reply(reinterpret_cast<const char*>(data), size);
    kv::agent::NodeTree tree;
    const kv::agent::NodeTree::Id server =
        tree.Append(kv::agent::NodeTree::kNone, "127.0.0.1", kv::agent::Picture::ServerNotLoaded,
                    kv::agent::Picture::ServerNotLoaded);
    kv::agent::TreeProgress progress;
    kv::agent::TTreeList list;
    try {
        list.LoadFromBuffer(reply);
    } catch (const kv::agent::ETreeViewError&) {
        Check(list.Empty());
        try {
            kv::agent::BuildServerSubtree(tree, server, reply, progress);
            Check(false);
        } catch (const kv::agent::ETreeViewError&) {
            Check(tree.ChildCount(server) == 1 && tree.ChildCount(tree.Children(server)[0]) == 0);
        }
        return 0;
    }
    const kv::agent::NodeTree::Id root =
        kv::agent::BuildServerSubtree(tree, server, reply, progress);
    Check(progress.position >= 0 && progress.position <= kv::agent::TreeProgress::kMaximum);

    // Below "/" hangs exactly the first top-level entry's subtree.
    std::size_t shown = 0;
    if (!list.Empty()) {
        for (kv::agent::TTreeList::Index i = 1; i < list.Count() && list.Level(i) > 0; ++i) {
            ++shown;
        }
    }
    Check(tree.Size() == 2 + shown);

    std::size_t walked = 0;
    for (kv::agent::NodeTree::Id node = root + 1; tree.IsAlive(node); ++node, ++walked) {
        const kv::agent::NodeTree::Id parent = tree.Parent(node);
        Check(tree.Children(parent)[tree.Row(node)] == node);
        Check(tree.TopLevelAncestor(node) == server);
        if (walked % 7 == 0) {
            const std::string path = kv::agent::RemotePath(tree, node);
            Check(!path.empty() && path.front() == '/');
        }
    }
    Check(walked == shown);

    if (tree.ChildCount(root) > 0) {
        tree.Remove(tree.Children(root)[0]);
    }
    tree.RemoveChildren(server);
    Check(tree.Size() == 1);
    return 0;
}

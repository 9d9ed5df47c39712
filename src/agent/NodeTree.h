#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "agent/HugePageAllocator.h"

namespace kv::agent {

// Pictures of the server pane's nodes.
enum class Picture : std::uint8_t {
    ServerNotLoaded = 0,
    ServerLoaded = 1,
    RootDirectory = 2,
    Directory = 3,
    DirectoryOpen = 4,
    File = 5,
    Notice = 6,
    DefaultSetting = 7,
};

// The server pane's forest, GUI-free: server nodes at the top, each loaded server's
// directory tree below it. Nodes live in one arena and are addressed by id; a removed
// node's id is never reused while the tree lives, so an id held by a view stays unique.
// Every accessor throws std::out_of_range for an id that is not alive.
class NodeTree {
public:
    using Id = std::uint32_t;
    static constexpr Id kNone = UINT32_MAX;

    // Appends a node as the last child of `parent` (kNone: a new last top-level node).
    // Throws std::length_error once the tree has handed out every id.
    Id Append(Id parent, std::string caption, Picture picture, Picture selectedPicture);
    // Removes the node with its whole subtree.
    void Remove(Id node);
    // Removes every child of `node` (kNone: every top-level node) with their subtrees.
    void RemoveChildren(Id node);
    void Clear();

    Id Parent(Id node) const;
    // Children of kNone are the top-level nodes.
    const std::vector<Id>& Children(Id node) const;
    std::size_t ChildCount(Id node) const { return Children(node).size(); }
    // Position of the node among its parent's children (or among the top-level nodes).
    std::size_t Row(Id node) const;
    Id TopLevelAncestor(Id node) const;
    bool IsAlive(Id node) const;

    const std::string& Caption(Id node) const;
    Picture PictureOf(Id node) const;
    Picture SelectedPictureOf(Id node) const;
    void SetPictures(Id node, Picture picture, Picture selectedPicture);

    // Number of live nodes.
    std::size_t Size() const;
    // Every live id lies in [IdBegin(), IdEnd()): tables indexed by id - IdBegin() stay dense.
    Id IdBegin() const { return idBase_; }
    Id IdEnd() const { return static_cast<Id>(idBase_ + nodes_.size()); }
    // Called with (parent, first row, count) after rows are appended or before rows go.
    // Views use it to keep their models in step.
    struct Observer {
        virtual ~Observer() = default;
        virtual void RowsAppended(Id parent, std::size_t first, std::size_t count) = 0;
        virtual void RowsAboutToBeRemoved(Id parent, std::size_t first, std::size_t count) = 0;
        virtual void RowsRemoved() = 0;
        // After SetPictures changed what the node shows.
        virtual void PicturesChanged(Id /*node*/) {}
    };
    void SetObserver(Observer* observer) { observer_ = observer; }

    // Appends a whole subtree below `parent` with one notification instead of one per node:
    // when the batch ends, RowsAppended(parent, first, count) covers the rows added directly
    // below `parent`; the deeper nodes hang below those rows, which no view has seen yet.
    // A batch node's parent must be the batch's `parent` or a node of the same batch, and the
    // tree must not be changed otherwise while the batch lives.
    class AppendBatch {
    public:
        // `expectedNodes` reserves arena room up front.
        AppendBatch(NodeTree& tree, Id parent, std::size_t expectedNodes);
        ~AppendBatch();
        AppendBatch(const AppendBatch&) = delete;
        AppendBatch& operator=(const AppendBatch&) = delete;

        // `childCapacity`: the number of children the node is going to get, reserved now.
        Id Append(Id parent, std::string caption, Picture picture, Picture selectedPicture,
                  std::size_t childCapacity = 0);

    private:
        NodeTree& tree_;
        Id parent_;
        Id firstNew_;
        std::size_t firstRow_;
    };

private:
    struct Node {
        std::string caption;
        std::vector<Id> children;
        Id parent = kNone;
        std::uint32_t row = 0;
        Picture picture = Picture::File;
        Picture selectedPicture = Picture::File;
        bool alive = true;
    };
    Node& At(Id node);
    const Node& At(Id node) const;
    std::vector<Id>& ChildList(Id node);
    Id AppendSilently(Id parent, std::string&& caption, Picture picture, Picture selectedPicture,
                      std::size_t childCapacity);
    // Marks the subtree dead and frees what its nodes hold.
    void Kill(Id node);
    void ReleaseStorageIfEmpty();

    // Ids below idBase_ belonged to nodes released by an earlier emptying of the tree.
    Id idBase_ = 0;
    std::vector<Node, HugePageAllocator<Node>> nodes_;
    std::vector<Id> topLevel_;
    std::size_t alive_ = 0;
    Observer* observer_ = nullptr;
};

// The path of a node on the Agent's machine: "/" + the captions from below the root
// directory node (the child of a server node) down to `node`, joined by "/". The root
// directory node itself gives "/", a server node "/" + its caption.
std::string RemotePath(const NodeTree& tree, NodeTree::Id node);

}  // namespace kv::agent

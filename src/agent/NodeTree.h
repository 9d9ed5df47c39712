#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

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
class NodeTree {
public:
    using Id = std::uint32_t;
    static constexpr Id kNone = UINT32_MAX;

    // Appends a node as the last child of `parent` (kNone: a new last top-level node).
    Id Append(Id parent, std::string caption, Picture picture, Picture selectedPicture);
    // Removes the node with its whole subtree.
    void Remove(Id node);
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
    // Called with (parent, first row, count) after rows are appended or before rows go.
    // Views use it to keep their models in step.
    struct Observer {
        virtual ~Observer() = default;
        virtual void RowsAppended(Id parent, std::size_t first, std::size_t count) = 0;
        virtual void RowsAboutToBeRemoved(Id parent, std::size_t first, std::size_t count) = 0;
        virtual void RowsRemoved() = 0;
    };
    void SetObserver(Observer* observer) { observer_ = observer; }

private:
    struct Node {
        std::string caption;
        Id parent = kNone;
        std::uint32_t row = 0;
        Picture picture = Picture::File;
        Picture selectedPicture = Picture::File;
        bool alive = true;
        std::vector<Id> children;
    };
    std::vector<Node> nodes_;
    std::vector<Id> topLevel_;
    std::size_t alive_ = 0;
    Observer* observer_ = nullptr;
};

// "/" + captions from below the root directory node down to `node`, joined by "/".
std::string RemotePath(const NodeTree& tree, NodeTree::Id node);

}  // namespace kv

#include "agent/NodeTree.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace kv::agent {

NodeTree::Node& NodeTree::At(Id node) {
    return const_cast<Node&>(std::as_const(*this).At(node));
}

const NodeTree::Node& NodeTree::At(Id node) const {
    if (!IsAlive(node)) {
        throw std::out_of_range("no such tree node");
    }
    return nodes_[node - idBase_];
}

bool NodeTree::IsAlive(Id node) const {
    return node >= idBase_ && node - idBase_ < nodes_.size() && nodes_[node - idBase_].alive;
}

std::vector<NodeTree::Id>& NodeTree::ChildList(Id node) {
    return node == kNone ? topLevel_ : At(node).children;
}

NodeTree::Id NodeTree::AppendSilently(Id parent, std::string&& caption, Picture picture,
                                      Picture selectedPicture, std::size_t childCapacity) {
    ChildList(parent);  // throws for a parent that is not alive, before anything changes
    if (nodes_.size() >= kNone - idBase_) {
        throw std::length_error("tree node ids exhausted");
    }
    const auto id = static_cast<Id>(idBase_ + nodes_.size());
    Node& node = nodes_.emplace_back();
    // Taken after the arena may have moved.
    std::vector<Id>& siblings = ChildList(parent);
    node.row = static_cast<std::uint32_t>(siblings.size());
    siblings.push_back(id);
    node.caption = std::move(caption);
    node.parent = parent;
    node.picture = picture;
    node.selectedPicture = selectedPicture;
    node.children.reserve(childCapacity);
    ++alive_;
    return id;
}

NodeTree::Id NodeTree::Append(Id parent, std::string caption, Picture picture,
                              Picture selectedPicture) {
    const Id id = AppendSilently(parent, std::move(caption), picture, selectedPicture, 0);
    if (observer_) {
        observer_->RowsAppended(parent, Children(parent).size() - 1, 1);
    }
    return id;
}

void NodeTree::Kill(Id root) {
    std::vector<Id> pending{root};
    while (!pending.empty()) {
        Node& node = nodes_[pending.back() - idBase_];
        pending.pop_back();
        pending.insert(pending.end(), node.children.begin(), node.children.end());
        std::vector<Id>().swap(node.children);
        std::string().swap(node.caption);
        node.alive = false;
        --alive_;
    }
}

void NodeTree::ReleaseStorageIfEmpty() {
    if (alive_ == 0 && !nodes_.empty()) {
        idBase_ += static_cast<Id>(nodes_.size());
        decltype(nodes_)().swap(nodes_);
    }
}

void NodeTree::Remove(Id node) {
    const Node& removed = At(node);
    const Id parent = removed.parent;
    const std::size_t row = removed.row;
    if (observer_) {
        observer_->RowsAboutToBeRemoved(parent, row, 1);
    }
    std::vector<Id>& siblings = ChildList(parent);
    siblings.erase(siblings.begin() + static_cast<std::ptrdiff_t>(row));
    for (std::size_t i = row; i < siblings.size(); ++i) {
        nodes_[siblings[i] - idBase_].row = static_cast<std::uint32_t>(i);
    }
    Kill(node);
    ReleaseStorageIfEmpty();
    if (observer_) {
        observer_->RowsRemoved();
    }
}

void NodeTree::RemoveChildren(Id node) {
    std::vector<Id>& children = ChildList(node);
    if (children.empty()) {
        return;
    }
    if (observer_) {
        observer_->RowsAboutToBeRemoved(node, 0, children.size());
    }
    std::vector<Id> gone;
    gone.swap(children);
    for (Id child : gone) {
        Kill(child);
    }
    ReleaseStorageIfEmpty();
    if (observer_) {
        observer_->RowsRemoved();
    }
}

void NodeTree::Clear() {
    RemoveChildren(kNone);
}

NodeTree::Id NodeTree::Parent(Id node) const {
    return At(node).parent;
}

const std::vector<NodeTree::Id>& NodeTree::Children(Id node) const {
    return node == kNone ? topLevel_ : At(node).children;
}

std::size_t NodeTree::Row(Id node) const {
    return At(node).row;
}

NodeTree::Id NodeTree::TopLevelAncestor(Id node) const {
    for (Id parent = Parent(node); parent != kNone; parent = Parent(node)) {
        node = parent;
    }
    return node;
}

const std::string& NodeTree::Caption(Id node) const {
    return At(node).caption;
}

Picture NodeTree::PictureOf(Id node) const {
    return At(node).picture;
}

Picture NodeTree::SelectedPictureOf(Id node) const {
    return At(node).selectedPicture;
}

void NodeTree::SetPictures(Id node, Picture picture, Picture selectedPicture) {
    Node& n = At(node);
    n.picture = picture;
    n.selectedPicture = selectedPicture;
    if (observer_) {
        observer_->PicturesChanged(node);
    }
}

std::size_t NodeTree::Size() const {
    return alive_;
}

NodeTree::AppendBatch::AppendBatch(NodeTree& tree, Id parent, std::size_t expectedNodes)
    : tree_(tree),
      parent_(parent),
      firstNew_(static_cast<Id>(tree.idBase_ + tree.nodes_.size())),
      firstRow_(tree.Children(parent).size()) {
    auto& nodes = tree_.nodes_;
    const std::size_t wanted = nodes.size() + expectedNodes;
    if (wanted > nodes.capacity()) {
        nodes.reserve(std::max(wanted, nodes.capacity() + nodes.capacity() / 2));
    }
}

NodeTree::AppendBatch::~AppendBatch() {
    if (!tree_.observer_ || (parent_ != kNone && !tree_.IsAlive(parent_))) {
        return;
    }
    const std::size_t rows = tree_.Children(parent_).size();
    if (rows > firstRow_) {
        tree_.observer_->RowsAppended(parent_, firstRow_, rows - firstRow_);
    }
}

NodeTree::Id NodeTree::AppendBatch::Append(Id parent, std::string caption, Picture picture,
                                           Picture selectedPicture, std::size_t childCapacity) {
    if (parent != parent_ && (parent == kNone || parent < firstNew_ || !tree_.IsAlive(parent))) {
        throw std::invalid_argument("batch node outside the batch's subtree");
    }
    return tree_.AppendSilently(parent, std::move(caption), picture, selectedPicture,
                                childCapacity);
}

std::string RemotePath(const NodeTree& tree, NodeTree::Id node) {
    if (tree.Parent(node) == NodeTree::kNone) {
        return "/" + tree.Caption(node);
    }
    // Captions from `node` up to, not including, the root directory node.
    std::vector<const std::string*> captions;
    std::size_t length = 0;
    for (NodeTree::Id up = tree.Parent(node); up != NodeTree::kNone; up = tree.Parent(up)) {
        captions.push_back(&tree.Caption(node));
        length += captions.back()->size() + 1;
        node = up;
    }
    // The loop also took the root directory node's own caption last: drop it.
    captions.pop_back();
    std::string path;
    path.reserve(length + 1);
    for (auto it = captions.rbegin(); it != captions.rend(); ++it) {
        path += '/';
        path += **it;
    }
    return path.empty() ? "/" : path;
}

}  // namespace kv::agent

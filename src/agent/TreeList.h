#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "agent/HugePageAllocator.h"

namespace kv::agent {

// A tree reply line is indented more than one level below the line before it.
// The message is "アイテム "%1:s" の階層 (0:d) が不正です" in Shift_JIS with %1:s replaced by the
// line's text (its first field, as the node would have had it); "(0:d)" carries no format mark
// and stays as it is. The line number and the level are kept apart for callers that want them.
class ETreeViewError : public std::runtime_error {
public:
    ETreeViewError(std::string_view lineText, std::size_t lineNumber, std::size_t level);

    // 1-based number of the offending line, and its indentation.
    std::size_t LineNumber() const { return lineNumber_; }
    std::size_t Level() const { return level_; }

private:
    std::size_t lineNumber_;
    std::size_t level_;
};

// The scratch tree of one tree reply: a forest of nodes kept in reply order, which is depth
// first, so a node's subtree is the run of following nodes with a greater level. Texts and
// extra fields are views into the reply, which must outlive the list and stay unchanged.
class TTreeList {
public:
    using Index = std::uint32_t;
    static constexpr Index kNone = UINT32_MAX;
    // The extra fields of one node, in line order.
    using TSubItems = std::span<const std::string_view>;

    // Replaces the content with the parse of `reply`. On ETreeViewError the list is left empty.
    // Throws std::length_error for a reply of 4 GiB or more.
    void LoadFromBuffer(std::string_view reply);
    // Refused at compile time: the nodes would refer into a string about to go.
    template <class S>
    requires std::is_same_v<S, std::string>
    void LoadFromBuffer(S&& temporaryReply) = delete;
    void Clear();

    bool Empty() const { return nodes_.empty(); }
    std::size_t Count() const { return nodes_.size(); }
    // The first top-level node (the root directory line), or kNone for an empty list.
    Index First() const { return nodes_.empty() ? kNone : 0; }

    // Accessors throw std::out_of_range for an index past the end.
    // The first field, markers still in it.
    std::string_view Text(Index node) const;
    TSubItems SubItems(Index node) const;
    // 0 for top-level nodes, 1 for their children, ...
    std::uint32_t Level(Index node) const { return At(node).level; }
    Index Parent(Index node) const { return At(node).parent; }
    // In reply order a node's first child, if any, is the node right after it.
    Index FirstChild(Index node) const { return At(node).childCount ? node + 1 : kNone; }
    Index NextSibling(Index node) const { return At(node).nextSibling; }
    std::uint32_t ChildCount(Index node) const { return At(node).childCount; }

private:
    // Kept small: a large reply makes a million of these.
    struct Node {
        std::uint32_t textOffset = 0;  // into the reply
        std::uint32_t textLength = 0;
        Index parent = kNone;
        Index nextSibling = kNone;
        std::uint32_t level = 0;
        std::uint32_t childCount = 0;
        // The node's extra fields run from here to the next node's firstField.
        std::uint32_t firstField = 0;
    };
    const Node& At(Index node) const { return nodes_.at(node); }

    const char* reply_ = nullptr;
    std::vector<Node, HugePageAllocator<Node>> nodes_;
    std::vector<std::string_view> fields_;
};

}  // namespace kv::agent

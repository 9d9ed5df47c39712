#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "agent/NodeTree.h"
#include "agent/SjisMatcher.h"

namespace kv::agent {

// What the server pane shows while it is filtered: the matching nodes, their ancestors, and
// the node kept in view (the selection). Nodes appended after the search are not shown.
class PaneFilter {
public:
    using Id = NodeTree::Id;

    bool Visible(Id node) const;
    bool IsMatch(Id node) const;
    // The shown children of `parent` (kNone: the shown top-level nodes).
    std::size_t ChildCount(Id parent) const;
    Id Child(Id parent, std::size_t row) const;
    // Position of a shown node among its parent's shown children.
    std::size_t Row(Id node) const;
    // Matching nodes in the pane's top-to-bottom order.
    const std::vector<Id>& Matches() const { return matches_; }
    // The first match after `node` in the pane's order, wrapping round to the first match;
    // the first match when `node` is not shown; kNone without matches. `tree` is the tree
    // that was searched.
    Id NextMatch(const NodeTree& tree, Id node) const;

private:
    friend class PaneSearch;
    static constexpr std::uint32_t kHidden = UINT32_MAX;
    struct Slot {
        std::uint32_t first = kHidden;  // into kids_; kHidden: not shown
        std::uint32_t count = 0;
        std::uint32_t row = 0;
        std::uint32_t match = kHidden;  // into matches_
    };
    const Slot* SlotOf(Id node) const;

    Id base_ = 0;
    std::vector<Slot> slots_;  // by id - base_
    std::vector<Id> kids_;     // each shown node's shown children, one run per node
    std::vector<Id> top_;
    std::vector<Id> matches_;
};

// Builds a PaneFilter in slices, so that a search over a million nodes never holds the
// caller for long and can be dropped half way. A pattern without '/' matches names; with
// one, it matches the remote path (directories with a trailing '/'), where the match must
// end inside the node's own name, so "/var/log" finds the log directory, not all below it.
// The tree must not change while a search lives; a caller that changes it starts anew.
class PaneSearch {
public:
    using Id = NodeTree::Id;

    // `pattern` is Shift_JIS; `kept` (or kNone) is shown with its ancestors in any case.
    PaneSearch(const NodeTree& tree, std::string_view pattern, Id kept);

    // Looks at up to `budget` more nodes; true once the search has seen every node.
    bool Step(std::size_t budget);
    bool Done() const { return frames_.empty(); }
    // The result, once Done(); the search is spent afterwards.
    std::unique_ptr<PaneFilter> Take();

private:
    struct Frame {
        Id node;
        std::uint32_t next = 0;       // next child to visit
        std::uint32_t kidsStart = 0;  // this node's shown children start here in shown_
        std::uint32_t prefixEnd = 0;  // its children's paths begin with path_[0, prefixEnd)
        bool shown = false;           // a match or the kept node
    };
    void Enter(Id node);
    bool Matches(Id node, std::uint32_t& prefixEnd);
    void Leave();

    const NodeTree& tree_;
    SjisMatcher matcher_;
    bool byPath_;
    Id kept_;
    std::vector<Frame> frames_;
    std::vector<Id> shown_;  // shown children of the open frames, innermost last
    std::string path_;
    std::unique_ptr<PaneFilter> result_;
};

}  // namespace kv::agent

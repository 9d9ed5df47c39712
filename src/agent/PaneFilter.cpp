#include "agent/PaneFilter.h"

#include <stdexcept>

namespace kv::agent {

const PaneFilter::Slot* PaneFilter::SlotOf(Id node) const {
    if (node < base_ || node - base_ >= slots_.size()) {
        return nullptr;
    }
    const Slot& slot = slots_[node - base_];
    return slot.first == kHidden ? nullptr : &slot;
}

bool PaneFilter::Visible(Id node) const {
    return SlotOf(node) != nullptr;
}

bool PaneFilter::IsMatch(Id node) const {
    const Slot* slot = SlotOf(node);
    return slot && slot->match != kHidden;
}

std::size_t PaneFilter::ChildCount(Id parent) const {
    if (parent == NodeTree::kNone) {
        return top_.size();
    }
    const Slot* slot = SlotOf(parent);
    return slot ? slot->count : 0;
}

PaneFilter::Id PaneFilter::Child(Id parent, std::size_t row) const {
    if (row >= ChildCount(parent)) {
        throw std::out_of_range("no such shown node");
    }
    return parent == NodeTree::kNone ? top_[row] : kids_[SlotOf(parent)->first + row];
}

std::size_t PaneFilter::Row(Id node) const {
    const Slot* slot = SlotOf(node);
    if (!slot) {
        throw std::out_of_range("node not shown");
    }
    return slot->row;
}

PaneFilter::Id PaneFilter::NextMatch(const NodeTree& tree, Id node) const {
    if (matches_.empty()) {
        return NodeTree::kNone;
    }
    if (!Visible(node)) {
        return matches_.front();
    }
    // Walk the shown nodes in pane order. Every shown node that is neither a match nor the
    // kept node has a match below it, so the walk is short.
    std::vector<Id> trail;  // ancestors of the walk's position, outermost first
    for (Id up = tree.Parent(node); up != NodeTree::kNone; up = tree.Parent(up)) {
        trail.insert(trail.begin(), up);
    }
    for (;;) {
        if (ChildCount(node) > 0) {
            trail.push_back(node);
            node = Child(node, 0);
        } else {
            // Climb until some ancestor has a shown sibling after the node.
            for (;;) {
                const Id parent = trail.empty() ? NodeTree::kNone : trail.back();
                const std::size_t next = Row(node) + 1;
                if (next < ChildCount(parent)) {
                    node = Child(parent, next);
                    break;
                }
                if (parent == NodeTree::kNone) {
                    return matches_.front();
                }
                node = parent;
                trail.pop_back();
            }
        }
        if (IsMatch(node)) {
            return node;
        }
    }
}

PaneSearch::PaneSearch(const NodeTree& tree, std::string_view pattern, Id kept)
    : tree_(tree),
      matcher_(pattern),
      byPath_(pattern.find('/') != std::string_view::npos),
      kept_(kept),
      result_(std::make_unique<PaneFilter>()) {
    result_->base_ = tree.IdBegin();
    result_->slots_.resize(tree.IdEnd() - tree.IdBegin());
    frames_.push_back({NodeTree::kNone});
}

bool PaneSearch::Step(std::size_t budget) {
    for (; !frames_.empty() && budget > 0; --budget) {
        Frame& top = frames_.back();
        const std::vector<Id>& children = tree_.Children(top.node);
        if (top.next < children.size()) {
            const Id child = children[top.next++];
            // A node appended since the search began has no slot: it waits for the next one.
            if (child - result_->base_ < result_->slots_.size()) {
                Enter(child);
            }
        } else {
            Leave();
        }
    }
    return frames_.empty();
}

bool PaneSearch::Matches(Id node, std::uint32_t& prefixEnd) {
    const std::string& caption = tree_.Caption(node);
    if (!byPath_) {
        return matcher_.Find(caption);
    }
    const std::size_t own = frames_.back().prefixEnd;
    path_.resize(own);
    path_ += caption;
    const Picture picture = tree_.PictureOf(node);
    const bool topLevel = tree_.Parent(node) == NodeTree::kNone;
    if (!topLevel && (picture == Picture::Directory || picture == Picture::RootDirectory) &&
        path_.back() != '/') {
        path_ += '/';
    }
    // A server node's caption is its address, not part of the paths below it.
    prefixEnd = topLevel ? 0 : static_cast<std::uint32_t>(path_.size());
    return matcher_.Find(path_, own);
}

void PaneSearch::Enter(Id node) {
    Frame frame{node};
    frame.kidsStart = static_cast<std::uint32_t>(shown_.size());
    const bool matched = Matches(node, frame.prefixEnd);
    frame.shown = matched || node == kept_;
    if (matched) {
        result_->slots_[node - result_->base_].match =
            static_cast<std::uint32_t>(result_->matches_.size());
        result_->matches_.push_back(node);
    }
    frames_.push_back(frame);
}

void PaneSearch::Leave() {
    const Frame frame = frames_.back();
    frames_.pop_back();
    PaneFilter& r = *result_;
    const std::size_t count = shown_.size() - frame.kidsStart;
    for (std::size_t i = 0; i < count; ++i) {
        r.slots_[shown_[frame.kidsStart + i] - r.base_].row = static_cast<std::uint32_t>(i);
    }
    if (frame.node == NodeTree::kNone) {
        r.top_.assign(shown_.begin() + frame.kidsStart, shown_.end());
        shown_.clear();
        return;
    }
    if (!frame.shown && count == 0) {
        return;
    }
    PaneFilter::Slot& slot = r.slots_[frame.node - r.base_];
    slot.first = static_cast<std::uint32_t>(r.kids_.size());
    slot.count = static_cast<std::uint32_t>(count);
    r.kids_.insert(r.kids_.end(), shown_.begin() + frame.kidsStart, shown_.end());
    shown_.resize(frame.kidsStart);
    shown_.push_back(frame.node);
}

std::unique_ptr<PaneFilter> PaneSearch::Take() {
    if (!Done() || !result_) {
        throw std::logic_error("the search has not finished");
    }
    return std::move(result_);
}

}  // namespace kv::agent

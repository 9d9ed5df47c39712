#include "agent/SubtreeBuilder.h"

#include <vector>

namespace kv::agent {

namespace {

constexpr std::string_view kDirMarker = "IsDir ";
constexpr std::string_view kNoticeMarker = "IsEnd ";

bool Contains(std::string_view text, std::string_view marker) {
    return text.find(marker) != std::string_view::npos;
}

// One left-to-right pass: what the removals bring together is not looked at again.
std::string RemoveAll(std::string_view text, std::string_view marker) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t at = text.find(marker); at != std::string_view::npos; at = text.find(marker)) {
        result.append(text.substr(0, at));
        text.remove_prefix(at + marker.size());
    }
    result.append(text);
    return result;
}

}  // namespace

void TreeProgress::StepIt() {
    if (position >= kMaximum) {
        return;
    }
    ++position;
    if (changed) {
        changed(position);
    }
}

void AppendAllChild(const TTreeList& list, TTreeList::Index source, NodeTree& tree,
                    NodeTree::Id destination, TreeProgress& progress) {
    if (source == TTreeList::kNone) {
        return;
    }
    const std::uint32_t topLevel = list.Level(source);
    if (topLevel == 1 && Contains(list.Text(source), kDirMarker)) {
        progress.StepIt();
    }
    // The subtree of a scratch node is the run of following nodes deeper than it.
    TTreeList::Index end = source + 1;
    while (end < list.Count() && list.Level(end) > topLevel) {
        ++end;
    }
    NodeTree::AppendBatch batch(tree, destination, end - source - 1);
    // destinations[d]: the pane node of the latest scratch node d levels below `source`.
    std::vector<NodeTree::Id> destinations{destination};
    for (TTreeList::Index i = source + 1; i < end; ++i) {
        const std::string_view text = list.Text(i);
        const std::uint32_t level = list.Level(i);
        const std::uint32_t childCount = list.ChildCount(i);
        const std::size_t depth = level - topLevel;
        const NodeTree::Id parent = destinations[depth - 1];
        NodeTree::Id id;
        bool directory = false;
        if (Contains(text, kDirMarker)) {
            directory = true;
            id = batch.Append(parent, RemoveAll(text, kDirMarker), Picture::Directory,
                              Picture::DirectoryOpen, childCount);
        } else if (!Contains(text, kNoticeMarker)) {
            id = batch.Append(parent, std::string(text), Picture::File, Picture::File, childCount);
        } else {
            id = batch.Append(parent, RemoveAll(text, kNoticeMarker), Picture::Notice,
                              Picture::Notice, childCount);
        }
        if (childCount == 0) {
            continue;
        }
        if (level == 1 && directory) {
            progress.StepIt();
        }
        if (destinations.size() == depth) {
            destinations.push_back(id);
        } else {
            destinations[depth] = id;
        }
    }
}

NodeTree::Id BuildServerSubtree(NodeTree& tree, NodeTree::Id server, std::string_view treeText,
                                TreeProgress& progress) {
    tree.SetPictures(server, Picture::ServerLoaded, Picture::ServerLoaded);
    const NodeTree::Id root =
        tree.Append(server, "/", Picture::RootDirectory, Picture::RootDirectory);
    TTreeList list;
    list.LoadFromBuffer(treeText);
    AppendAllChild(list, list.First(), tree, root, progress);
    return root;
}

}  // namespace kv::agent

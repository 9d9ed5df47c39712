#pragma once

#include <functional>
#include <string_view>

#include "agent/NodeTree.h"
#include "agent/TreeList.h"

namespace kv::agent {

// The status bar's progress bar as a tree build moves it: 0 to 17 in steps of one.
struct TreeProgress {
    static constexpr int kMaximum = 17;

    int position = 0;
    // Called with the new position after each step, so a view can follow the build.
    std::function<void(int)> changed;

    // One step, unless the bar already stands at its maximum.
    void StepIt();
};

// Copies the children of the scratch node `source`, depth first, below the pane node
// `destination`: "IsDir " entries become directories (pictures 3/4, every "IsDir " removed),
// entries without a marker files (5), "IsEnd " entries notices (6, every "IsEnd " removed).
// A level-1 source that is a directory steps the progress once. Iterative, so any depth is
// safe; the pane hears of the copy once, as the rows added directly below `destination`.
void AppendAllChild(const TTreeList& list, TTreeList::Index source, NodeTree& tree,
                    NodeTree::Id destination, TreeProgress& progress);

// Builds a fetched server's subtree from its tree text: marks `server` loaded (picture 1),
// appends the root directory node "/" (picture 2) as its last child, parses the text and
// copies the first top-level entry's children below "/". Returns the "/" node. A bad entry
// level throws ETreeViewError after "/" has been appended, which then stays empty.
NodeTree::Id BuildServerSubtree(NodeTree& tree, NodeTree::Id server, std::string_view treeText,
                                TreeProgress& progress);

}  // namespace kv::agent

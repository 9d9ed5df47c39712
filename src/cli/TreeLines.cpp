#include "cli/TreeLines.h"

#include <string>
#include <vector>

namespace kv::cli {

void WriteTreeLines(const agent::NodeTree& tree, agent::NodeTree::Id root,
                    const std::function<void(std::string_view)>& sink, std::size_t pieceSize) {
    std::string piece = "/\n";
    // The remote path of the node being visited; each frame knows where its node's path
    // ends in it, so a path is built once per node rather than walked up from every node.
    std::string path;
    struct Frame {
        agent::NodeTree::Id node;
        std::size_t nextChild;
        std::size_t pathLength;
    };
    std::vector<Frame> stack{{root, 0, 0}};
    while (!stack.empty()) {
        Frame& frame = stack.back();
        const std::vector<agent::NodeTree::Id>& children = tree.Children(frame.node);
        if (frame.nextChild == children.size()) {
            stack.pop_back();
            continue;
        }
        const agent::NodeTree::Id child = children[frame.nextChild++];
        path.resize(frame.pathLength);
        path += '/';
        path += tree.Caption(child);

        const agent::Picture picture = tree.PictureOf(child);
        if (picture == agent::Picture::Notice) {
            piece += "! ";
        }
        piece += path;
        if (picture == agent::Picture::Directory) {
            piece += '/';
        }
        piece += '\n';
        if (piece.size() >= pieceSize) {
            sink(piece);
            piece.clear();
        }
        if (!tree.Children(child).empty()) {
            stack.push_back({child, 0, path.size()});
        }
    }
    if (!piece.empty()) {
        sink(piece);
    }
}

}  // namespace kv::cli

#pragma once

#include <cstddef>
#include <functional>
#include <string_view>

#include "agent/NodeTree.h"

namespace kv::cli {

// The server pane's view of a subtree as text lines, each ending in LF: "/" for the root
// directory node, then the remote path of every node below it, depth first in child order.
// A directory's line ends in "/", a notice's line starts with "! ". The text goes to `sink`
// in pieces of about `pieceSize` bytes, each ending at a line end, so that a million lines
// need not be held at once and a piece never splits a character.
void WriteTreeLines(const agent::NodeTree& tree, agent::NodeTree::Id root,
                    const std::function<void(std::string_view)>& sink,
                    std::size_t pieceSize = std::size_t(1) << 20);

}  // namespace kv::cli

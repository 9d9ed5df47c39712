#include "app/StatusLayout.h"

#include <algorithm>

namespace kv::app {

void StatusLayout::SplitterMoved(int treeWidth) {
    const int width = std::max(treeWidth, kMinTreeWidth);
    progressWidth_ = width + 2;
    panel0Width_ = width + 7;
    animationLeft_ = width + 11;
}

}  // namespace kv::app

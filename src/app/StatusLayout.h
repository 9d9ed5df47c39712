#pragma once

namespace kv::app {

// Fixed window sizes, and the status bar widths that follow the server pane's width.
class StatusLayout {
public:
    static constexpr int kWindowWidth = 925;
    static constexpr int kWindowHeight = 686;
    static constexpr int kLeftPaneWidth = 253;
    static constexpr int kMinTreeWidth = 249;
    static constexpr int kSplitterWidth = 8;
    static constexpr int kProgressMax = 17;

    int ProgressBarWidth() const { return progressWidth_; }
    int StatusPanel0Width() const { return panel0Width_; }
    int AnimationLeft() const { return animationLeft_; }

    // After the splitter moved, with the tree's new width (never below the minimum).
    void SplitterMoved(int treeWidth);

private:
    int progressWidth_ = 250;
    int panel0Width_ = 256;
    int animationLeft_ = kMinTreeWidth + 11;
};

}  // namespace kv::app

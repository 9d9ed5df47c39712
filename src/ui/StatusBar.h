#pragma once

#include <QStatusBar>

class QProgressBar;

namespace kv::ui {

class BusyAnimation;

// The status bar: panel 0 holds the progress bar, panel 1 the status text with the busy
// animation at its left end. Panel widths and positions follow the server pane's width.
class StatusBar : public QStatusBar {
    Q_OBJECT

public:
    static constexpr int kHeight = 22;
    static constexpr int kProgressHeight = 16;

    explicit StatusBar(QWidget* parent = nullptr);

    QProgressBar* Progress() const { return progress_; }
    BusyAnimation* Animation() const { return animation_; }
    QString Text() const { return text_; }
    int Panel0Width() const { return panel0Width_; }

    void SetText(const QString& text);
    // The bytes of a reply received so far, shown at the right end of the text panel while a
    // large body arrives; empty when none does.
    void SetTransfer(const QString& text);
    QString Transfer() const { return transfer_; }
    void SetGeometryFor(int progressWidth, int panel0Width, int animationLeft);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void Place();
    QRect Panel(int index) const;

    QProgressBar* progress_;
    BusyAnimation* animation_;
    QString text_;
    QString transfer_;
    int progressWidth_ = 250;
    int panel0Width_ = 256;
    int animationLeft_ = 260;
};

}  // namespace kv::ui

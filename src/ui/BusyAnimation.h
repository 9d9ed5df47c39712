#pragma once

#include <QList>
#include <QPixmap>
#include <QTimer>
#include <QWidget>

namespace kv::ui {

// The 16 x 16 busy animation of the status bar: a magnifier searching over a computer.
// Shows its first frame while stopped.
class BusyAnimation : public QWidget {
    Q_OBJECT

public:
    static constexpr int kSize = 16;
    static constexpr int kFrameMs = 110;

    explicit BusyAnimation(QWidget* parent = nullptr);

    void SetActive(bool active);
    bool IsActive() const { return timer_.isActive(); }
    int FrameCount() const { return static_cast<int>(frames_.size()); }
    int Frame() const { return frame_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QList<QPixmap> frames_;
    QTimer timer_;
    int frame_ = 0;
};

}  // namespace kv::ui

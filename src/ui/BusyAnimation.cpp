#include "ui/BusyAnimation.h"

#include <QPainter>

namespace kv::ui {

namespace {
constexpr int kFrames = 8;
}

BusyAnimation::BusyAnimation(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("AnmStatus"));
    setFixedSize(kSize, kSize);
    for (int i = 0; i < kFrames; ++i) {
        frames_.append(QPixmap(QStringLiteral(":/busy/%1.png").arg(i)));
    }
    timer_.setInterval(kFrameMs);
    connect(&timer_, &QTimer::timeout, this, [this] {
        frame_ = (frame_ + 1) % kFrames;
        update();
    });
}

void BusyAnimation::SetActive(bool active) {
    if (active == timer_.isActive()) {
        return;
    }
    if (active) {
        timer_.start();
    } else {
        timer_.stop();
        frame_ = 0;
        update();
    }
}

void BusyAnimation::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawPixmap(0, 0, frames_.at(frame_));
}

}  // namespace kv::ui

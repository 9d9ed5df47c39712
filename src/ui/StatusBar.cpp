#include "ui/StatusBar.h"

#include <QPainter>
#include <QProgressBar>
#include <QStyle>
#include <QStyleOption>

#include "ui/BusyAnimation.h"

namespace kv::ui {

namespace {
constexpr int kPanelGap = 2;
constexpr int kTextGap = 4;
}  // namespace

StatusBar::StatusBar(QWidget* parent)
    : QStatusBar(parent), progress_(new QProgressBar(this)), animation_(new BusyAnimation(this)) {
    setObjectName(QStringLiteral("StsBar"));
    setSizeGripEnabled(false);
    setFixedHeight(kHeight);
    progress_->setObjectName(QStringLiteral("PrgBar"));
    progress_->setRange(0, 17);
    progress_->setValue(0);
    progress_->setTextVisible(false);
    Place();
}

void StatusBar::SetText(const QString& text) {
    if (text != text_) {
        text_ = text;
        update();
    }
}

void StatusBar::SetTransfer(const QString& text) {
    if (text != transfer_) {
        transfer_ = text;
        update();
    }
}

void StatusBar::SetGeometryFor(int progressWidth, int panel0Width, int animationLeft) {
    progressWidth_ = progressWidth;
    panel0Width_ = panel0Width;
    animationLeft_ = animationLeft;
    Place();
    update();
}

QRect StatusBar::Panel(int index) const {
    if (index == 0) {
        return QRect(0, 0, panel0Width_, height());
    }
    return QRect(panel0Width_ + kPanelGap, 0, width() - panel0Width_ - kPanelGap, height());
}

void StatusBar::Place() {
    progress_->setGeometry(2, (height() - kProgressHeight) / 2, progressWidth_, kProgressHeight);
    animation_->move(animationLeft_, (height() - BusyAnimation::kSize) / 2);
}

void StatusBar::resizeEvent(QResizeEvent* event) {
    QStatusBar::resizeEvent(event);
    Place();
}

void StatusBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    for (int i = 0; i < 2; ++i) {
        QStyleOptionFrame frame;
        frame.initFrom(this);
        frame.rect = Panel(i);
        frame.state |= QStyle::State_Sunken;
        frame.lineWidth = 1;
        style()->drawPrimitive(QStyle::PE_FrameStatusBarItem, &frame, &painter, this);
    }
    const int textLeft = animationLeft_ + BusyAnimation::kSize + kTextGap;
    const QRect textRect(textLeft, 0, width() - textLeft - kTextGap, height());
    painter.setPen(palette().color(QPalette::WindowText));
    const int transferWidth = transfer_.isEmpty() ? 0 : fontMetrics().horizontalAdvance(transfer_);
    painter.drawText(textRect.adjusted(0, 0, -transferWidth - kTextGap, 0),
                     Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine,
                     fontMetrics().elidedText(text_, Qt::ElideRight,
                                              textRect.width() - transferWidth - kTextGap));
    if (!transfer_.isEmpty()) {
        painter.drawText(textRect, Qt::AlignVCenter | Qt::AlignRight | Qt::TextSingleLine,
                         transfer_);
    }
}

}  // namespace kv::ui

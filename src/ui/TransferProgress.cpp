#include "ui/TransferProgress.h"

#include <QCoreApplication>

#include "ui/StatusBar.h"

namespace kv::ui {

namespace {

// Often enough to look alive, rarely enough to cost nothing beside the transfer.
constexpr qint64 kRepaintMs = 250;

QString Megabytes(double bytes) {
    return QString::number(bytes / (1024.0 * 1024.0), 'f', 1) + QStringLiteral(" MB");
}

}  // namespace

QString TransferProgress::Text(std::uint64_t received, std::int64_t total) {
    QString text = QStringLiteral("受信 ") + Megabytes(static_cast<double>(received));
    if (total > 0) {
        text += QStringLiteral(" / ") + Megabytes(static_cast<double>(total));
    }
    return text;
}

void TransferProgress::Update(std::uint64_t received, std::int64_t total) {
    if (received == 0 && total < 0) {
        status_->SetTransfer({});
        sinceShown_.invalidate();
        return;
    }
    if (received < kShownFrom || (sinceShown_.isValid() && sinceShown_.elapsed() < kRepaintMs)) {
        return;
    }
    sinceShown_.start();
    status_->SetTransfer(Text(received, total));
    // Paint and timers only: no user action may start while the client reads.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

}  // namespace kv::ui

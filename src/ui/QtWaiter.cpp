#include "ui/QtWaiter.h"

#include <algorithm>

#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>

namespace kv::ui {

bool QtWaiter::Wait(int fd, Direction direction, int timeoutMs) {
    QSocketNotifier notifier(
        fd, direction == Direction::Readable ? QSocketNotifier::Read : QSocketNotifier::Write);
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&notifier, &QSocketNotifier::activated, &loop, [&loop] { loop.exit(1); });
    QObject::connect(&timer, &QTimer::timeout, &loop, [&loop] { loop.exit(0); });
    timer.start(std::clamp(timeoutMs, 0, kLongestWaitMs));
    return loop.exec() == 1;
}

}  // namespace kv::ui

#include "ui/DiscoveryWatch.h"

#include <utility>

#include <QSocketNotifier>

namespace kv::ui {

DiscoveryWatch::DiscoveryWatch(std::function<void()> readable, QObject* parent)
    : QObject(parent), readable_(std::move(readable)) {}

DiscoveryWatch::~DiscoveryWatch() = default;

void DiscoveryWatch::Watch(int handle) {
    notifier_.reset();
    if (handle < 0) {
        return;
    }
    notifier_ = std::make_unique<QSocketNotifier>(handle, QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { readable_(); });
}

}  // namespace kv::ui

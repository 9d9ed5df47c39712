#pragma once

#include <functional>
#include <memory>

#include <QObject>

class QSocketNotifier;

namespace kv::ui {

// Watches the discovery socket for replies on the window's event loop. The socket is
// replaced at every discovery, so the notifier is too.
class DiscoveryWatch : public QObject {
public:
    explicit DiscoveryWatch(std::function<void()> readable, QObject* parent = nullptr);
    ~DiscoveryWatch() override;

    // Watches `handle` from now on; -1 stops watching before the socket closes.
    void Watch(int handle);

private:
    std::function<void()> readable_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace kv::ui

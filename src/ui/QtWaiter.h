#pragma once

#include "agent/Waiter.h"

namespace kv::ui {

// Waits for a socket while the window's events keep flowing: a socket notifier and a
// timer end a nested event loop. The window therefore goes on painting during a request.
class QtWaiter : public agent::Waiter {
public:
    static constexpr int kLongestWaitMs = 1000;

    bool Wait(int fd, Direction direction, int timeoutMs) override;
};

}  // namespace kv::ui

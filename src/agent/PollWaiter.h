#pragma once

#include "agent/Waiter.h"

namespace kv::agent {

// Waits with poll(2); nothing else runs meanwhile.
class PollWaiter : public Waiter {
public:
    bool Wait(int fd, Direction direction, int timeoutMs) override;
};

}  // namespace kv::agent

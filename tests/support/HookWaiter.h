#pragma once

#include <functional>
#include <utility>

#include "agent/PollWaiter.h"

namespace kv::test {

// Runs a hook inside the first wait for a reply (the request has gone out), as a window's
// event dispatch would; then goes on waiting, or with `endsThatWait` ends that one wait early
// as an interrupted one.
class HookWaiter : public agent::Waiter {
public:
    std::function<void()> hook;
    bool endsThatWait = false;

    bool Wait(int fd, Direction direction, int timeoutMs) override {
        if (hook && direction == Direction::Readable) {
            auto run = std::move(hook);
            hook = nullptr;
            run();
            if (endsThatWait) {
                return false;
            }
        }
        return poll_.Wait(fd, direction, timeoutMs);
    }

private:
    agent::PollWaiter poll_;
};

}  // namespace kv::test

#pragma once

namespace kv::agent {

// How a synchronous request waits for its socket. The default polls; a window supplies one
// that keeps dispatching its events meanwhile, so it goes on painting during a request.
class Waiter {
public:
    enum class Direction { Readable, Writable };

    virtual ~Waiter() = default;

    // Waits at most timeoutMs (never more than 1000) for `fd` to become ready in the given
    // direction. True when it is ready or in an error state (the caller then finds out which
    // by trying); false when the time ran out or the wait was interrupted.
    virtual bool Wait(int fd, Direction direction, int timeoutMs) = 0;
};

}  // namespace kv::agent

#include "agent/PollWaiter.h"

#include <poll.h>

namespace kv::agent {

bool PollWaiter::Wait(int fd, Direction direction, int timeoutMs) {
    pollfd entry{};
    entry.fd = fd;
    entry.events = direction == Direction::Readable ? POLLIN : POLLOUT;
    return poll(&entry, 1, timeoutMs) > 0 && entry.revents != 0;
}

}  // namespace kv::agent

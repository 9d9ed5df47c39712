#include "agentd/UniqueFd.h"

#include <utility>

#include <unistd.h>

namespace kv::agentd {

UniqueFd::~UniqueFd() {
    Reset();
}

UniqueFd::UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
        Reset(std::exchange(other.fd_, -1));
    }
    return *this;
}

void UniqueFd::Reset(int fd) {
    if (fd_ >= 0) {
        ::close(fd_);
    }
    fd_ = fd;
}

}  // namespace kv::agentd

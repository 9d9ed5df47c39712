#include "store/FileLock.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "store/InOutError.h"

namespace kv::store {

FileLock::FileLock(const std::string& path) {
    const std::string lockPath = LockPathOf(path);
    fd_ = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd_ < 0) {
        throw EInOutError("Cannot lock " + path + ": " + std::strerror(errno));
    }
    while (flock(fd_, LOCK_EX) != 0) {
        if (errno != EINTR) {
            const int error = errno;
            close(fd_);
            throw EInOutError("Cannot lock " + path + ": " + std::strerror(error));
        }
    }
}

FileLock::~FileLock() {
    // Closing the descriptor releases the lock.
    close(fd_);
}

}  // namespace kv::store

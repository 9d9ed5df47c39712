#pragma once

#include <string>

namespace kv::store {

// An exclusive lock held, while the object lives, on a file of the data directory between
// reading it and writing it back, so that two programs changing it at once never lose
// an update. The lock is taken on `path` + ".lock", created when missing, not on the file
// itself: an atomic save replaces the file, and a lock on the replaced one would guard
// nothing. Advisory (flock): every program that writes the file takes it.
class FileLock {
public:
    // Waits for the lock; throws EInOutError naming the file when the lock file cannot be
    // opened.
    explicit FileLock(const std::string& path);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    static std::string LockPathOf(const std::string& path) { return path + ".lock"; }

private:
    int fd_ = -1;
};

}  // namespace kv::store

#include "store/AtomicFile.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <random>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "store/InOutError.h"

namespace kv::store {

namespace {

[[noreturn]] void Fail(const std::string& path, int error) {
    throw EInOutError("Cannot write " + path + ": " + std::strerror(error));
}

// A symbolic link is written through to its target, so the link itself survives.
std::string ResolveTarget(const std::string& path) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
        return path;
    }
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : path;
}

std::string DirectoryOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Creates a fresh temporary beside `target`; the mode follows the umask like a plain create.
int CreateTemporary(const std::string& target, std::string& tempPath) {
    // One per thread: a fleet command saves from several at once.
    thread_local std::mt19937_64 random{std::random_device{}()};
    constexpr int kAttempts = 100;
    int error = EEXIST;
    for (int attempt = 0; attempt < kAttempts && error == EEXIST; ++attempt) {
        tempPath = target + ".tmp" + std::to_string(getpid()) + "-" + std::to_string(random());
        const int fd = open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            return fd;
        }
        error = errno;
    }
    errno = error;
    return -1;
}

// Gives the finished unnamed file a fresh temporary name beside `target`: linkat cannot
// replace a file, the rename that follows does. Through /proc, which needs no privilege.
int LinkUnnamed(int fd, const std::string& target, std::string& tempPath) {
    // One per thread: a fleet command saves from several at once.
    thread_local std::mt19937_64 random{std::random_device{}()};
    const std::string source = "/proc/self/fd/" + std::to_string(fd);
    constexpr int kAttempts = 100;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        tempPath = target + ".tmp" + std::to_string(getpid()) + "-" + std::to_string(random());
        if (linkat(AT_FDCWD, source.c_str(), AT_FDCWD, tempPath.c_str(), AT_SYMLINK_FOLLOW) == 0 ||
            // Without /proc, the descriptor itself (a privilege some systems grant).
            (errno == ENOENT && linkat(fd, "", AT_FDCWD, tempPath.c_str(), AT_EMPTY_PATH) == 0)) {
            return 0;
        }
        if (errno != EEXIST) {
            break;
        }
    }
    tempPath.clear();
    return -1;
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// Makes the rename itself durable; the new content is already in place, so a failure
// here is not a failed write.
void SyncDirectory(const std::string& directory) {
    const int fd = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

}  // namespace

void WriteFileAtomically(const std::string& path, std::string_view bytes) {
    const std::string target = ResolveTarget(path);
    // A rename would replace a file its owner made read-only; refuse as writing in place would.
    if (access(target.c_str(), F_OK) == 0 && access(target.c_str(), W_OK) != 0) {
        Fail(path, errno);
    }
    // The content is written into a file without a name, so a program killed while writing
    // leaves nothing behind; it gets a name only once it is complete, for the rename.
    int fd = open(DirectoryOf(target).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    const bool unnamed = fd >= 0;
    std::string tempPath;
    if (!unnamed) {
        fd = CreateTemporary(target, tempPath);
        if (fd < 0) {
            Fail(path, errno);
        }
    }
    struct stat old {};
    if (stat(target.c_str(), &old) == 0) {
        // Keep the replaced file's permissions; a failure here only loses those.
        fchmod(fd, old.st_mode & 07777);
    }
    int error = 0;
    if (!WriteAll(fd, bytes) || fsync(fd) != 0) {
        error = errno;
    }
    if (error == 0 && unnamed && LinkUnnamed(fd, target, tempPath) != 0) {
        error = errno;
    }
    if (close(fd) != 0 && error == 0) {
        error = errno;
    }
    if (error == 0 && rename(tempPath.c_str(), target.c_str()) != 0) {
        error = errno;
    }
    if (error != 0) {
        if (!tempPath.empty()) {
            unlink(tempPath.c_str());
        }
        Fail(path, error);
    }
    SyncDirectory(DirectoryOf(target));
}

bool ReadWholeFile(const std::string& path, std::string& bytes) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    std::string content;
    struct stat st {};
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        content.reserve(static_cast<std::size_t>(st.st_size));
    }
    char buffer[65536];
    bool ok = true;
    for (;;) {
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got == 0) {
            break;
        }
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            ok = false;
            break;
        }
        content.append(buffer, static_cast<std::size_t>(got));
    }
    close(fd);
    if (ok) {
        bytes = std::move(content);
    }
    return ok;
}

}  // namespace kv::store

#include "support/TmpfsMount.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <vector>

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

namespace kv::test {

namespace {

constexpr const char* kBallast = ".ballast";

void EnterPrivateMountNamespace() {
    static const bool entered = [] {
        return unshare(CLONE_NEWNS) == 0 &&
               mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    }();
    (void)entered;
}

}  // namespace

TmpfsMount::TmpfsMount(std::size_t bytes) {
    std::string pattern = (std::filesystem::temp_directory_path() / "kvmount-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    path_ = pattern;
    EnterPrivateMountNamespace();
    const std::string options = "size=" + std::to_string(bytes);
    if (mount("tmpfs", path_.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) != 0) {
        reason_ = std::string("mount -t tmpfs: ") + std::strerror(errno);
        return;
    }
    mounted_ = true;
}

TmpfsMount::~TmpfsMount() {
    if (mounted_ && umount(path_.c_str()) != 0) {
        umount2(path_.c_str(), MNT_DETACH);
    }
    rmdir(path_.c_str());
}

std::string TmpfsMount::File(const std::string& name) const {
    return path_ + "/" + name;
}

bool TmpfsMount::MakeReadOnly() {
    if (mount(nullptr, path_.c_str(), nullptr, MS_REMOUNT | MS_RDONLY | MS_NOSUID | MS_NODEV,
              nullptr) != 0) {
        reason_ = std::string("remount read-only: ") + std::strerror(errno);
        return false;
    }
    return true;
}

void TmpfsMount::Fill() const {
    const int fd = open(File(kBallast).c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0) {
        throw std::runtime_error("cannot create ballast in " + path_);
    }
    const std::vector<char> block(4096, 'x');
    // One byte at a time at the end, so that not even a small write finds room. The
    // mount's size bounds the loops; the cap guards against a mount that is not ours.
    constexpr std::size_t kCap = std::size_t{1} << 30;
    std::size_t total = 0;
    for (std::size_t size : {block.size(), std::size_t{1}}) {
        while (total < kCap && write(fd, block.data(), size) > 0) {
            total += size;
        }
    }
    close(fd);
}

std::string TmpfsMount::Listing() const {
    std::vector<std::string> names;
    for (const auto& item : std::filesystem::directory_iterator(path_)) {
        const std::string name = item.path().filename().string();
        if (name != kBallast) {
            names.push_back(name);
        }
    }
    std::sort(names.begin(), names.end());
    std::string listing;
    for (const auto& name : names) {
        listing += (listing.empty() ? "" : " ") + name;
    }
    return listing;
}

}  // namespace kv::test

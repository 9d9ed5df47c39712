#pragma once

#include <cstddef>
#include <string>

namespace kv::test {

// A small tmpfs mounted on a fresh directory, for tests that need a device that fills up
// or turns read-only. The process first moves to a private mount namespace when it can,
// so a crashed test leaves no mount behind. Unmounted and removed in the destructor.
// Where mounting is impossible (no privilege), Mounted() is false and Reason() says why:
// use KV_SKIP_UNLESS_MOUNTED.
class TmpfsMount {
public:
    explicit TmpfsMount(std::size_t bytes);
    ~TmpfsMount();
    TmpfsMount(const TmpfsMount&) = delete;
    TmpfsMount& operator=(const TmpfsMount&) = delete;

    bool Mounted() const { return mounted_; }
    const std::string& Reason() const { return reason_; }
    const std::string& Path() const { return path_; }
    // Path + "/" + name.
    std::string File(const std::string& name) const;
    // Remounts read-only; false (and Reason() set) on failure.
    bool MakeReadOnly();
    // Fills the free space with a ballast file, so that the next write fails for lack
    // of room.
    void Fill() const;
    // Names in the mount's root directory, sorted; the ballast file is left out.
    std::string Listing() const;

private:
    std::string path_;
    std::string reason_;
    bool mounted_ = false;
};

}  // namespace kv::test

#define KV_SKIP_UNLESS_MOUNTED(mount)                                          \
    do {                                                                       \
        if (!(mount).Mounted()) {                                              \
            GTEST_SKIP() << "cannot mount a tmpfs here: " << (mount).Reason(); \
        }                                                                      \
    } while (false)

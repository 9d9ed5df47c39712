#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

#include <sys/mman.h>

namespace kv::agent {

// Allocator for the big node arenas. Blocks of 2 MiB or more come straight from mmap, aligned
// to 2 MiB and advised for transparent huge pages: a fresh arena of a million nodes then
// faults in a few dozen huge pages instead of tens of thousands of small ones, and on a
// virtual machine those faults are most of the cost of filling it. Smaller blocks, and systems
// that refuse the advice, get ordinary pages.
template <class T>
class HugePageAllocator {
public:
    using value_type = T;

    HugePageAllocator() = default;
    template <class U>
    HugePageAllocator(const HugePageAllocator<U>&) noexcept {}

    T* allocate(std::size_t n) {
        if (n < kHugeBytes / sizeof(T)) {
            return std::allocator<T>().allocate(n);
        }
        if (n > (SIZE_MAX - 2 * kHugeBytes) / sizeof(T)) {
            throw std::bad_array_new_length();
        }
        const std::size_t size = Rounded(n * sizeof(T));
        void* mapped = mmap(nullptr, size + kHugeBytes, PROT_READ | PROT_WRITE,
                            MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapped == MAP_FAILED) {
            throw std::bad_alloc();
        }
        // Keep only the 2 MiB aligned run of `size` bytes.
        auto* first = static_cast<char*>(mapped);
        char* aligned = first + (Rounded(reinterpret_cast<std::uintptr_t>(first)) -
                                 reinterpret_cast<std::uintptr_t>(first));
        if (aligned != first) {
            munmap(first, static_cast<std::size_t>(aligned - first));
        }
        const std::size_t tail = kHugeBytes - static_cast<std::size_t>(aligned - first);
        if (tail != 0) {
            munmap(aligned + size, tail);
        }
        madvise(aligned, size, MADV_HUGEPAGE);
        return reinterpret_cast<T*>(aligned);
    }

    void deallocate(T* p, std::size_t n) noexcept {
        if (n < kHugeBytes / sizeof(T)) {
            std::allocator<T>().deallocate(p, n);
        } else {
            munmap(p, Rounded(n * sizeof(T)));
        }
    }

    template <class U>
    bool operator==(const HugePageAllocator<U>&) const noexcept {
        return true;
    }

private:
    static constexpr std::size_t kHugeBytes = std::size_t{2} << 20;
    static constexpr std::size_t Rounded(std::size_t bytes) {
        return (bytes + kHugeBytes - 1) & ~(kHugeBytes - 1);
    }
};

}  // namespace kv::agent

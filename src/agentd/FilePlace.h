#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kv::agentd {

// Where reading stands in one file, with what tells that file apart from another that
// later takes its name or its inode: the device and inode, and a hash of its first bytes.
struct FilePlace {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    // Everything before this offset has been handed on, and nothing after it.
    std::uint64_t offset = 0;
    // The print covers the file's first `printLength` bytes (fewer while the file is short).
    std::uint32_t printLength = 0;
    std::uint64_t print = 0;

    bool operator==(const FilePlace&) const = default;
};

// Bytes of a file's start that its print covers at most.
inline constexpr std::uint32_t kPrintBytes = 256;

// The print of a file's first bytes, already in hand.
std::uint64_t PrintOfBytes(std::string_view bytes);

// Up to `length` bytes from the open file's start (fewer when it is shorter).
std::string FirstBytes(int fd, std::size_t length);

// Sets `print` to the print of the open file's first `length` bytes; false when the file is
// shorter or cannot be read.
bool PrintOf(int fd, std::uint32_t length, std::uint64_t& print);

}  // namespace kv::agentd

#include "agentd/FilePlace.h"

#include <cerrno>

#include <unistd.h>

namespace kv::agentd {

std::string FirstBytes(int fd, std::size_t length) {
    std::string bytes(length, '\0');
    std::size_t got = 0;
    while (got < length) {
        const ssize_t n = ::pread(fd, bytes.data() + got, length - got, static_cast<off_t>(got));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        got += static_cast<std::size_t>(n);
    }
    bytes.resize(got);
    return bytes;
}

bool PrintOf(int fd, std::uint32_t length, std::uint64_t& print) {
    const std::string bytes = FirstBytes(fd, length);
    if (bytes.size() < length) {
        return false;
    }
    print = PrintOfBytes(bytes);
    return true;
}

std::uint64_t PrintOfBytes(std::string_view bytes) {
    // FNV-1a: enough to tell two logs' first lines apart, and cheap.
    std::uint64_t hash = 14695981039346656037ull;
    for (const char c : bytes) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    }
    return hash;
}

}  // namespace kv::agentd

#pragma once

#include <cstdint>
#include <string>

namespace kv::test {

// A port on 127.0.0.1 that refuses connections while the object lives: bound, never
// listening, so nothing else can take it meanwhile.
class ClosedPort {
public:
    ClosedPort();
    ~ClosedPort();
    ClosedPort(const ClosedPort&) = delete;
    ClosedPort& operator=(const ClosedPort&) = delete;

    std::uint16_t Port() const { return port_; }
    std::string Url(const std::string& path) const;

private:
    int fd_ = -1;
    std::uint16_t port_ = 0;
};

}  // namespace kv::test

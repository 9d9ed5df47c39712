#include "agent/Resolver.h"

#include <algorithm>
#include <cstdint>

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>

namespace kv::agent {

namespace {

// Four decimal parts of 0 to 255 joined by dots; leading zeros are allowed and change
// nothing ("192.168.001.010" is 192.168.1.10), as the address fields are typed.
bool ParseDottedQuad(const std::string& text, in_addr& address) {
    std::uint32_t value = 0;
    std::size_t at = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (at >= text.size() || text[at] != '.') {
                return false;
            }
            ++at;
        }
        const std::size_t start = at;
        std::uint32_t number = 0;
        for (; at < text.size() && text[at] != '.'; ++at) {
            number = number * 10 + static_cast<std::uint32_t>(text[at] - '0');
            if (number > 255) {
                return false;
            }
        }
        if (at == start) {
            return false;
        }
        value = value << 8 | number;
    }
    address.s_addr = htonl(value);
    return at == text.size();
}

class SystemResolver : public Resolver {
protected:
    Result Resolve(const std::string& host) override {
        addrinfo hints{};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* list = nullptr;
        Result result;
        result.error = getaddrinfo(host.c_str(), nullptr, &hints, &list);
        if (result.error == 0 && list != nullptr) {
            result.found = true;
            result.address = reinterpret_cast<const sockaddr_in*>(list->ai_addr)->sin_addr;
        }
        if (list != nullptr) {
            freeaddrinfo(list);
        }
        return result;
    }
};

}  // namespace

Resolver::Result Resolver::Lookup(const std::string& host) {
    const bool numeric = std::all_of(host.begin(), host.end(),
                                     [](char c) { return c == '.' || (c >= '0' && c <= '9'); });
    if (!numeric) {
        return Resolve(host);
    }
    Result result;
    result.found = ParseDottedQuad(host, result.address);
    result.error = result.found ? 0 : EAI_NONAME;
    return result;
}

Resolver& Resolver::System() {
    static SystemResolver resolver;
    return resolver;
}

}  // namespace kv::agent

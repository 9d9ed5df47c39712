#include "agent/Resolver.h"

#include <algorithm>

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>

namespace kv {

namespace {

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
    result.found = inet_pton(AF_INET, host.c_str(), &result.address) == 1;
    result.error = result.found ? 0 : EAI_NONAME;
    return result;
}

Resolver& Resolver::System() {
    static SystemResolver resolver;
    return resolver;
}

}  // namespace kv

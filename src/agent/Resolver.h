#pragma once

#include <string>

#include <netinet/in.h>

namespace kv::agent {

// Host name -> IPv4 address, behind a seam so that tests never ask the network.
class Resolver {
public:
    struct Result {
        bool found = false;
        in_addr address{};
        // The lookup's error (an EAI_* number) when not found.
        int error = 0;
    };

    virtual ~Resolver() = default;

    // A text of digits and dots only (the empty text included) is taken as an address and
    // never looked up: four decimal parts of 0 to 255 are found at once, leading zeros
    // allowed (192.168.001.010 is 192.168.1.10); anything else (999.999.999.999, 1.2.3)
    // is not found. Other texts go to Resolve.
    Result Lookup(const std::string& host);

    // Asks the system (getaddrinfo, IPv4 only).
    static Resolver& System();

protected:
    virtual Result Resolve(const std::string& host) = 0;
};

}  // namespace kv::agent

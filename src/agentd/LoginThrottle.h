#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <unordered_map>

namespace kv::agentd {

// Slows down password guessing: after a few wrong credentials from one address, every
// further wrong answer to it is held back, twice as long each time up to a ceiling. A
// right answer or a quiet spell forgets the address.
class LoginThrottle {
public:
    using Clock = std::chrono::steady_clock;

    struct Policy {
        int freeFailures = 3;
        std::chrono::milliseconds firstDelay{1000};
        std::chrono::milliseconds maxDelay{8000};
        std::chrono::seconds forgetAfter{900};
        std::size_t maxAddresses = 4096;
    };

    LoginThrottle() = default;
    explicit LoginThrottle(Policy policy) : policy_(policy) {}

    // Records a failure and returns how long its answer is held back.
    std::chrono::milliseconds Failed(const std::string& peer, Clock::time_point now);
    void Succeeded(const std::string& peer) { failures_.erase(peer); }

private:
    struct Record {
        int failures = 0;
        Clock::time_point last;
    };

    Policy policy_;
    std::unordered_map<std::string, Record> failures_;
};

}  // namespace kv::agentd

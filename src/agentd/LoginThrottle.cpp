#include "agentd/LoginThrottle.h"

#include <algorithm>

namespace kv::agentd {

std::chrono::milliseconds LoginThrottle::Failed(const std::string& peer, Clock::time_point now) {
    if (failures_.size() >= policy_.maxAddresses && !failures_.contains(peer)) {
        std::erase_if(failures_, [&](const auto& item) {
            return now - item.second.last >= policy_.forgetAfter;
        });
        // Still full: many addresses are guessing at once; the oldest is forgotten first.
        if (failures_.size() >= policy_.maxAddresses) {
            failures_.erase(std::min_element(
                failures_.begin(), failures_.end(),
                [](const auto& a, const auto& b) { return a.second.last < b.second.last; }));
        }
    }
    Record& record = failures_[peer];
    if (record.failures > 0 && now - record.last >= policy_.forgetAfter) {
        record.failures = 0;
    }
    ++record.failures;
    record.last = now;
    const int over = record.failures - policy_.freeFailures;
    if (over <= 0) {
        return std::chrono::milliseconds(0);
    }
    auto delay = policy_.firstDelay;
    for (int i = 1; i < over && delay < policy_.maxDelay; ++i) {
        delay *= 2;
    }
    return std::min(delay, policy_.maxDelay);
}

}  // namespace kv::agentd

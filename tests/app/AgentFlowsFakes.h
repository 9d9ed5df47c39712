#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "Fakes.h"

namespace kv::test {

// An Agent fleet answering tree and setting requests from canned texts; an address
// without a text fails the request.
class CannedAgents final : public FakeRequests {
public:
    std::map<std::string, std::string> trees;
    std::map<std::string, std::string> settings;
    std::vector<std::string> asked;

    bool FetchTree(std::string_view address, std::string& target) override {
        return Answer(trees, "tree ", address, target);
    }
    bool FetchWatchSetting(std::string_view address, std::string& target) override {
        return Answer(settings, "setting ", address, target);
    }

private:
    bool Answer(const std::map<std::string, std::string>& replies, const std::string& what,
                std::string_view address, std::string& target) {
        asked.push_back(what + std::string(address));
        Waiting(what.substr(0, what.size() - 1), address);
        const auto it = replies.find(std::string(address));
        if (it == replies.end()) {
            return false;
        }
        target = it->second;
        return true;
    }
};

}  // namespace kv::test

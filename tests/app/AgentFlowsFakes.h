#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "Fakes.h"
#include "app/AgentFlows.h"

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

// A started model with the Agent flows installed, its Agents canned. SetUp() may run
// again inside a test for a fresh start with the same Agents.
class AgentFlowsTest : public ::testing::Test {
protected:
    explicit AgentFlowsTest(const std::vector<std::string>& servers) : f(servers) {}

    void SetUp() override {
        f.Start();
        m = &*f.model;
        m->SetRequestPort(&agents);
        flows.emplace(*m);
        flows->Install();
    }
    // Enabled, normal cursor, no animation: the busy pattern is over.
    void ExpectWindowRestored() const {
        EXPECT_TRUE(m->MainWindowEnabled());
        EXPECT_FALSE(m->AnimationRunning());
        EXPECT_EQ(f.user.busyDepth, 0);
    }

    ManagerFixture f;
    CannedAgents agents;
    ManagerModel* m = nullptr;
    std::optional<AgentFlows> flows;
};

}  // namespace kv::test

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "agentd/AgentOptions.h"

using namespace kv::agentd;

namespace kv {
namespace {

TEST(AgentOptions, DefaultsMeetTheManagersDefaults) {
    const AgentOptions options = ParseAgentOptions({});
    EXPECT_EQ(options.port, 4009);
    EXPECT_EQ(options.listen, "127.0.0.1");
    EXPECT_EQ(options.user, "root");
    EXPECT_EQ(options.password, "plumtree");
    EXPECT_FALSE(options.demo);
}

TEST(AgentOptions, TakesSeparateAndJoinedValues) {
    const AgentOptions options = ParseAgentOptions(
        {"--port=0", "--root", "/srv", "--tree-file=/t", "--user", "u", "--password=p=q", "--name",
         "名前", "--state-dir", "/s", "--log-dir", "/l", "--listen", "0.0.0.0", "--demo"});
    EXPECT_EQ(options.port, 0);
    EXPECT_EQ(options.root, "/srv");
    EXPECT_EQ(options.treeFile, "/t");
    EXPECT_EQ(options.user, "u");
    EXPECT_EQ(options.password, "p=q");
    EXPECT_EQ(options.name, "名前");
    EXPECT_EQ(options.stateDir, "/s");
    EXPECT_EQ(options.logDir, "/l");
    EXPECT_EQ(options.listen, "0.0.0.0");
    EXPECT_TRUE(options.demo);
}

TEST(AgentOptions, RefusesWhatItCannotTake) {
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"--port", "65536"},
                                               {"--port", "-1"},
                                               {"--port", "80x"},
                                               {"--port", ""},
                                               {"--port"},
                                               {"--root"},
                                               {"--demo=yes"},
                                               {"--frobnicate"},
                                               {"stray"}}) {
        EXPECT_THROW(ParseAgentOptions(args), OptionsError) << args[0];
    }
}

}  // namespace
}  // namespace kv

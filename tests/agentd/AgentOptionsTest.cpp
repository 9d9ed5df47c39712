#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "agentd/AgentOptions.h"
#include "support/TempDir.h"

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

namespace kv {
namespace {

TEST(AgentOptions, AConfigurationFileGivesTheServiceDefaultsAndNeedsAPassword) {
    test::TempDir dir;
    const std::string file = dir.File("agent.conf");
    dir.Write("agent.conf",
              "# comment\n\n  password = s p = q  \r\nport=4100\nexclude = /home\n"
              "log-days = 7\nname = web01\n");
    AgentOptions options = ParseAgentOptions({"--config", file});
    EXPECT_EQ(options.listen, "0.0.0.0");
    EXPECT_EQ(options.root, "/");
    EXPECT_EQ(options.password, "s p = q");
    EXPECT_EQ(options.port, 4100);
    EXPECT_EQ(options.logDays, 7u);
    EXPECT_EQ(options.name, "web01");
    EXPECT_EQ(options.excludes.back(), "/home");
    EXPECT_EQ(options.excludes.size(), 5u);
    // The command line wins, wherever it stands.
    options = ParseAgentOptions({"--port=5000", "--config=" + file, "--listen", "127.0.0.1"});
    EXPECT_EQ(options.port, 5000);
    EXPECT_EQ(options.listen, "127.0.0.1");
    EXPECT_EQ(ParseAgentOptions({"--config", file, "--password", "x"}).password, "x");

    struct Bad {
        std::string text;
        std::string message;
    };
    for (const Bad& bad :
         {Bad{"user = admin\n", "no password is set"}, Bad{"password =\n", "no password is set"},
          Bad{"password = p\nport = 70000\n", ":2: invalid port"},
          Bad{"password = p\nlog-days = -1\n", ":2: invalid log-days"},
          Bad{"password = p\ncommand-timeout = 0\n", ":2: invalid command"},
          Bad{"password = p\nfrobnicate = 1\n", ":2: unknown setting"},
          Bad{"password = p\ndemo = 1\n", ":2: unknown setting"},
          Bad{"password = p\njust words\n", ":2: expected NAME = VALUE"}}) {
        dir.Write("agent.conf", bad.text);
        try {
            ParseAgentOptions({"--config", file});
            ADD_FAILURE() << bad.text;
        } catch (const OptionsError& error) {
            EXPECT_NE(std::string(error.what()).find(bad.message), std::string::npos)
                << error.what();
        }
    }
    EXPECT_THROW(ParseAgentOptions({"--config", dir.File("missing.conf")}), OptionsError);
    // Without a configuration file the demo's and the tests' defaults stay.
    EXPECT_EQ(ParseAgentOptions({"--max-commands", "2"}).password, "plumtree");
}

}  // namespace
}  // namespace kv

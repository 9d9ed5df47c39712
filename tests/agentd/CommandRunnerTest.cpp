#include <atomic>
#include <csignal>
#include <fstream>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "agentd/CommandRunner.h"
#include "support/TempDir.h"

namespace kv::agentd {
namespace {

using namespace std::chrono_literals;

// True while the process exists and is not a zombie waiting for its parent.
bool Alive(const std::string& pidText) {
    if (pidText.empty()) {
        return false;
    }
    std::ifstream stat("/proc/" + std::to_string(std::stoi(pidText)) + "/stat");
    std::string pid;
    std::string name;
    std::string state;
    return static_cast<bool>(stat >> pid >> name >> state) && state != "Z";
}

TEST(CommandRunner, EndsWithinItsLimitsWhateverTheCommandDoes) {
    test::TempDir dir;
    const std::string pidFile = dir.File("pid");
    struct Case {
        std::string command;
        int exitStatus;
        int signal;
        bool timedOut;
        std::size_t outputBytes;
        std::string output;  // the kept prefix; "" for not checked
    };
    const Case cases[] = {
        {"echo out; echo err >&2; exit 3", 3, 0, false, 8, "out\nerr\n"},
        // stdin is /dev/null, not the Agent's: cat ends at once.
        {"cat", 0, 0, false, 0, ""},
        // Huge output is read to its end and only its beginning kept.
        {"head -c 20000000 /dev/zero | tr '\\0' x", 0, 0, false, 20000000, std::string(1024, 'x')},
        {"sleep 60", -1, SIGTERM, true, 0, ""},
        // A command that ignores TERM is killed.
        {"trap '' TERM; echo waiting; sleep 60", -1, SIGKILL, true, 8, "waiting\n"},
        // A child left behind holding the output is part of the command and ends with it.
        {"sleep 60 & echo $! > " + pidFile + "; echo parent done", 0, 0, true, 12, "parent done\n"},
    };
    CommandLimits limits;
    limits.timeLimit = 1500ms;
    limits.killGrace = 300ms;
    const std::atomic<bool> running{false};
    for (const Case& c : cases) {
        const CommandResult result = CommandRunner::Run({c.command, {}}, limits, running);
        EXPECT_TRUE(result.started) << c.command;
        EXPECT_EQ(result.exitStatus, c.exitStatus) << c.command;
        EXPECT_EQ(result.signal, c.signal) << c.command;
        EXPECT_EQ(result.timedOut, c.timedOut) << c.command;
        EXPECT_EQ(result.outputBytes, c.outputBytes) << c.command;
        EXPECT_EQ(result.output, c.output) << c.command;
    }
    // The child's output closes as it exits; the exit itself may take a moment more.
    const std::string child = dir.Read("pid");
    for (int i = 0; i < 100 && Alive(child); ++i) {
        std::this_thread::sleep_for(20ms);
    }
    EXPECT_FALSE(Alive(child));
}

TEST(CommandRunner, StoppingEndsRunningCommandsAndDropsQueuedOnes) {
    std::atomic<int> reported{0};
    std::atomic<int> timedOut{0};
    CommandLimits limits;
    limits.concurrent = 2;
    limits.queued = 3;
    limits.killGrace = 200ms;
    {
        CommandRunner runner(limits, [&](const CommandJob&, const CommandResult& result) {
            ++reported;
            timedOut += result.timedOut ? 1 : 0;
        });
        int accepted = 0;
        for (int i = 0; i < 8; ++i) {
            accepted += runner.Submit({"sleep 60", {}}) ? 1 : 0;
        }
        // Two start at once, three wait; the rest are refused without blocking.
        EXPECT_LE(accepted, 5);
        EXPECT_GE(accepted, 3);
        std::this_thread::sleep_for(200ms);
    }
    EXPECT_EQ(reported, 2);
    EXPECT_EQ(timedOut, 0);
}

}  // namespace
}  // namespace kv::agentd

#include <array>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "AgentTestSupport.h"
#include "support/ChildProcess.h"
#include "support/TempDir.h"
#include "text/Cp932.h"
#include "text/JapaneseConversion.h"

namespace kv {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// kestrelview-agent run with these arguments.
class AgentProcess : public test::ChildProcess {
public:
    explicit AgentProcess(std::vector<std::string> args)
        : ChildProcess(WithProgram(std::move(args))) {}

    std::string FirstLine() { return ChildProcess::FirstLine(10s); }
    std::string AllOutput() { return ChildProcess::AllOutput(10s); }
    int Wait() { return ChildProcess::Wait(10s); }

private:
    static std::vector<std::string> WithProgram(std::vector<std::string> args) {
        args.insert(args.begin(), BinDirectory() + "/kestrelview-agent");
        return args;
    }
};

std::uint16_t PortOf(const std::string& line, const std::string& address = "127.0.0.1") {
    const std::string prefix = "listening on " + address + ":";
    if (!line.starts_with(prefix)) {
        return 0;
    }
    return static_cast<std::uint16_t>(std::stoi(line.substr(prefix.size())));
}

class AgentProcessSignal : public testing::TestWithParam<int> {};

TEST_P(AgentProcessSignal, ServesUntilTheSignalThenExitsWithZero) {
    test::TempDir dir;
    fs::create_directories(dir.File("root/etc"));
    AgentProcess agent({"--port", "0", "--root", dir.File("root"), "--state-dir", dir.File("state"),
                        "--name=agent1"});
    const std::uint16_t port = PortOf(agent.FirstLine());
    ASSERT_NE(port, 0);
    EXPECT_EQ(test::Get(port, "/GetTree.cgi", test::AuthLine("root", "plumtree")).body,
              "IsDir /\r\n\tIsDir etc\r\n");
    EXPECT_EQ(test::AskOverUdp(port, "Are You Kestrelview Agent?", 5000),
              "I am Kestrelview Agent.|agent1");
    agent.Signal(GetParam());
    EXPECT_EQ(agent.Wait(), 0);
}

INSTANTIATE_TEST_SUITE_P(TermAndInt, AgentProcessSignal, testing::Values(SIGTERM, SIGINT));

TEST(AgentProcess, HelpAndBadCommandLines) {
    AgentProcess help({"--help"});
    EXPECT_NE(help.AllOutput().find("--tree-file FILE"), std::string::npos);
    EXPECT_EQ(help.Wait(), 0);

    AgentProcess unknown({"--bogus"});
    EXPECT_NE(unknown.AllOutput().find("unknown option: --bogus"), std::string::npos);
    EXPECT_EQ(unknown.Wait(), 2);

    test::TempDir dir;
    AgentProcess noRoot(
        {"--port", "0", "--root", dir.File("missing"), "--state-dir", dir.File("state")});
    EXPECT_NE(noRoot.AllOutput().find("cannot use root directory"), std::string::npos);
    EXPECT_EQ(noRoot.Wait(), 1);
}

TEST(AgentProcess, APortInUseIsReportedAndEndsWithOne) {
    test::TempDir dir;
    fs::create_directories(dir.File("root"));
    AgentProcess first(
        {"--port", "0", "--root", dir.File("root"), "--state-dir", dir.File("state1")});
    const std::uint16_t port = PortOf(first.FirstLine());
    ASSERT_NE(port, 0);
    AgentProcess second({"--port", std::to_string(port), "--root", dir.File("root"), "--state-dir",
                         dir.File("state2")});
    EXPECT_NE(second.AllOutput().find("cannot listen on 127.0.0.1:" + std::to_string(port)),
              std::string::npos);
    EXPECT_EQ(second.Wait(), 1);
    first.Signal(SIGTERM);
    EXPECT_EQ(first.Wait(), 0);
}

TEST(AgentProcess, TheServiceRefusesToStartWithoutAPasswordAndReloadsItsConfiguration) {
    test::TempDir dir;
    fs::create_directories(dir.File("root/etc"));
    const std::string common = "listen = 127.0.0.1\nport = 0\nroot = " + dir.File("root") +
                               "\nstate-dir = " + dir.File("state") + "\n";
    dir.Write("agent.conf", common);
    AgentProcess refused({"--config", dir.File("agent.conf")});
    EXPECT_NE(refused.AllOutput().find("no password is set"), std::string::npos);
    EXPECT_EQ(refused.Wait(), 2);

    dir.Write("agent.conf", common + "password = first\n");
    AgentProcess agent({"--config", dir.File("agent.conf")});
    const std::uint16_t port = PortOf(agent.FirstLine());
    ASSERT_NE(port, 0);
    EXPECT_EQ(test::Get(port, "/GetTree.cgi", test::AuthLine("root", "first")).status, 200);

    // SIGHUP reads the file again (the Agent says where it listens once more); a file that
    // cannot be read keeps the running setup.
    const std::string listening = "listening on 127.0.0.1:" + std::to_string(port) + "\n";
    dir.Write("agent.conf", common + "password = second\nport = " + std::to_string(port) + "\n");
    agent.Signal(SIGHUP);
    ASSERT_TRUE(agent.WaitForOutput(listening + listening, 10s));
    EXPECT_EQ(test::Get(port, "/GetTree.cgi", test::AuthLine("root", "second")).status, 200);
    EXPECT_EQ(test::Get(port, "/GetTree.cgi", test::AuthLine("root", "first")).status, 401);
    dir.Write("agent.conf", common + "password = third\nport = x\n");
    agent.Signal(SIGHUP);
    ASSERT_TRUE(agent.WaitForOutput(
        "reload refused: " + dir.File("agent.conf") + ":6: invalid port: x\n" + listening, 10s));
    EXPECT_EQ(test::Get(port, "/GetTree.cgi", test::AuthLine("root", "second")).status, 200);
    agent.Signal(SIGTERM);
    EXPECT_EQ(agent.Wait(), 0);
}

// Lines written before a stop by SIGTERM or by kill -9, in the middle of reading, and while
// the Agent is down are each acted on exactly once after it is started again.
class AgentProcessRestart : public testing::TestWithParam<int> {};

TEST_P(AgentProcessRestart, ResumesWithoutLosingOrRepeatingALine) {
    test::TempDir dir;
    fs::create_directories(dir.File("root"));
    fs::create_directories(dir.File("state"));
    const std::string file = dir.File("app.log");
    dir.Write("app.log", "old line\n");
    dir.Write("state/WatchSetting.txt",
              "\"" + file + "\",\"line\",\"1\",\"\",\"\"\r\n\"s\",\"b\",\"\",\"\",\"\"\r\n\r\n");
    const std::vector<std::string> args{"--port",         "0",           "--root",
                                        dir.File("root"), "--state-dir", dir.File("state")};
    const auto append = [&](int from, int to) {
        std::string lines;
        for (int i = from; i < to; ++i) {
            lines += "line " + std::to_string(i) + "\n";
        }
        std::ofstream(file, std::ios::app | std::ios::binary) << lines;
    };
    const auto actions = [&] {
        std::ifstream in(dir.File("state/log/" + agentd::DailyLog::FileName(std::time(nullptr))));
        const std::string log =
            text::EucToSjis(std::string(std::istreambuf_iterator<char>(in), {}));
        const std::string said = text::Sjis("回検出しました");
        int count = 0;
        for (auto at = log.find(said); at != std::string::npos; at = log.find(said, at + 1)) {
            ++count;
        }
        return count;
    };
    const auto waitFor = [&](int count) {
        for (int i = 0; i < 500 && actions() < count; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        return actions();
    };

    auto agent = std::make_unique<AgentProcess>(args);
    ASSERT_NE(PortOf(agent->FirstLine()), 0);
    append(0, 100);
    EXPECT_EQ(waitFor(100), 100);
    append(100, 5000);
    agent->Signal(GetParam());
    agent->Wait();
    append(5000, 5100);
    agent = std::make_unique<AgentProcess>(args);
    ASSERT_NE(PortOf(agent->FirstLine()), 0);
    append(5100, 5200);
    EXPECT_EQ(waitFor(5200), 5200);
    agent->Signal(SIGTERM);
    EXPECT_EQ(agent->Wait(), 0);
}

INSTANTIATE_TEST_SUITE_P(TermAndKill, AgentProcessRestart, testing::Values(SIGTERM, SIGKILL));

}  // namespace
}  // namespace kv

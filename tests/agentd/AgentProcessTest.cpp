#include <array>
#include <chrono>
#include <cstdlib>
#include <filesystem>
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
#include "support/TempDir.h"

namespace kv {
namespace {

namespace fs = std::filesystem;

std::string AgentBinary() {
    const char* dir = std::getenv("KV_BIN_DIR");
    const fs::path base =
        dir != nullptr ? fs::path(dir) : fs::read_symlink("/proc/self/exe").parent_path();
    return (base / "kestrelview-agent").string();
}

// kestrelview-agent as a child process with its standard output and error on pipes.
class AgentProcess {
public:
    explicit AgentProcess(std::vector<std::string> args) {
        int out[2];
        if (pipe(out) != 0) {
            throw std::runtime_error("pipe");
        }
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], 1);
            dup2(out[1], 2);
            close(out[0]);
            close(out[1]);
            std::vector<char*> argv;
            const std::string binary = AgentBinary();
            argv.push_back(const_cast<char*>(binary.c_str()));
            for (auto& arg : args) {
                argv.push_back(arg.data());
            }
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(out[1]);
        output_ = out[0];
    }

    ~AgentProcess() {
        if (pid_ > 0 && !exited_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        close(output_);
    }

    // The first line written, waiting at most ten seconds.
    std::string FirstLine() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (text_.find('\n') == std::string::npos && ReadSome(deadline)) {
        }
        return text_.substr(0, text_.find('\n'));
    }

    // Everything written until the process closes its output.
    std::string AllOutput() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (ReadSome(deadline)) {
        }
        return text_;
    }

    // The exit status, or nullopt when it did not exit normally within ten seconds.
    std::optional<int> Wait() {
        for (int i = 0; i < 1000; ++i) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                exited_ = true;
                return WIFEXITED(status) ? std::optional<int>(WEXITSTATUS(status)) : std::nullopt;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return std::nullopt;
    }

    void Signal(int number) { kill(pid_, number); }

private:
    bool ReadSome(std::chrono::steady_clock::time_point deadline) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd entry{output_, POLLIN, 0};
        if (left.count() <= 0 || poll(&entry, 1, static_cast<int>(left.count())) <= 0) {
            return false;
        }
        std::array<char, 4096> buffer{};
        const ssize_t n = read(output_, buffer.data(), buffer.size());
        if (n <= 0) {
            return false;
        }
        text_.append(buffer.data(), static_cast<std::size_t>(n));
        return true;
    }

    pid_t pid_ = -1;
    int output_ = -1;
    bool exited_ = false;
    std::string text_;
};

std::uint16_t PortOf(const std::string& line) {
    const std::string prefix = "listening on 127.0.0.1:";
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

}  // namespace
}  // namespace kv

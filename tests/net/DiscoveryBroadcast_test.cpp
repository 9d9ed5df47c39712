// The real broadcast, sent only inside a pair of network namespaces made for this test: the
// Agent runs in namespace b, the discovery client in a forked child that has entered
// namespace a. Nothing is ever broadcast from the machine's own namespace.
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "agent/Discovery.h"
#include "store/ServerList.h"
#include "support/ChildProcess.h"
#include "support/TempDir.h"

using namespace kv::store;
using namespace kv::agent;

namespace kv {
namespace {

using namespace std::chrono_literals;

const std::string kLab = "/work/shared/tools/netns-lab";
constexpr int kSkip = 77;

// The two namespaces, torn down when the object goes, whatever happened.
class NamespacePair {
public:
    NamespacePair() : name_("kvn" + std::to_string(getpid() % 1000000)) {
        status_ = test::RunProgram({"/bin/bash", kLab, "up"}, {Environment()}, 30s);
    }
    ~NamespacePair() { test::RunProgram({"/bin/bash", kLab, "down"}, {Environment()}, 30s); }
    NamespacePair(const NamespacePair&) = delete;
    NamespacePair& operator=(const NamespacePair&) = delete;

    int Status() const { return status_; }
    std::string Environment() const { return "NETNS_LAB=" + name_; }
    std::string Path(char side) const { return "/var/run/netns/" + name_ + "-" + side; }

private:
    std::string name_;
    int status_;
};

// In the forked child: enter namespace a, broadcast the question and wait up to three
// seconds for the Agent's reply. 0 when it came from the Agent's address with its name.
int DiscoverFrom(const std::string& namespacePath, const std::string& serverName,
                 const std::string& csvPath) {
    const int fd = open(namespacePath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || setns(fd, CLONE_NEWNET) != 0) {
        return 10;
    }
    close(fd);
    ServerList servers;
    servers.Load(csvPath);
    Discovery discovery;
    try {
        discovery.Start("4009");
    } catch (const std::exception&) {
        return 11;
    }
    if (!discovery.Socket().BroadcastEnabled()) {
        return 12;
    }
    for (int pass = 0; pass < 60; ++pass) {
        pollfd p{discovery.Handle(), POLLIN, 0};
        if (poll(&p, 1, 50) != 1) {
            continue;
        }
        for (const std::size_t index : discovery.HandleAvailable(servers)) {
            const TServerTree& entry = servers.Entry(index);
            return entry.IPAddress == "198.18.77.2" && entry.ServerName == serverName ? 0 : 13;
        }
    }
    return 14;
}

TEST(DiscoveryBroadcast, FindsTheAgentInTheNeighbourNamespace) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "network namespaces need root; the broadcast is never sent here";
    }
    NamespacePair lab;
    if (lab.Status() == kSkip) {
        GTEST_SKIP() << "network namespaces cannot be made on this machine";
    }
    ASSERT_EQ(lab.Status(), 0) << "netns-lab up failed";

    test::TempDir dir;
    test::ChildProcess agent(
        {"/bin/bash", kLab, "exec", "b", test::ChildProcess::BinDirectory() + "/kestrelview-agent",
         "--listen", "0.0.0.0", "--port", "4009", "--root", dir.Path(), "--state-dir",
         dir.File("state"), "--name", "beyond"},
        {lab.Environment()});
    ASSERT_EQ(agent.FirstLine(10s), "listening on 0.0.0.0:4009") << agent.Output();

    const pid_t client = fork();
    if (client == 0) {
        _exit(DiscoverFrom(lab.Path('a'), "beyond", dir.File("Server.csv")));
    }
    ASSERT_GT(client, 0);
    int status = 0;
    pid_t done = 0;
    for (int pass = 0; pass < 100 && done == 0; ++pass) {
        done = waitpid(client, &status, WNOHANG);
        if (done == 0) {
            std::this_thread::sleep_for(50ms);
        }
    }
    if (done == 0) {
        kill(client, SIGKILL);
        waitpid(client, &status, 0);
        FAIL() << "the discovery client did not finish";
    }
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0)
        << "10 setns, 11 start, 12 broadcast option, 13 wrong entry, 14 no reply";
}

}  // namespace
}  // namespace kv

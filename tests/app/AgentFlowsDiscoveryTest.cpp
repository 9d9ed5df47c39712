#include <string>

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "Fakes.h"
#include "app/AgentFlows.h"

using namespace kv::agent;
using namespace kv::app;

namespace kv::test {
namespace {

// A stand-in Agent on 127.0.0.1 that answers the question on request.
class LoopbackAgent {
public:
    LoopbackAgent() {
        fd_ = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        socklen_t length = sizeof address;
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
    }
    ~LoopbackAgent() { ::close(fd_); }
    LoopbackAgent(const LoopbackAgent&) = delete;
    LoopbackAgent& operator=(const LoopbackAgent&) = delete;

    int Port() const { return port_; }

    // Waits up to two seconds for the question; answers it with each reply in turn.
    std::string AnswerWith(const std::vector<std::string>& replies) {
        pollfd ready{fd_, POLLIN, 0};
        if (::poll(&ready, 1, 2000) != 1) {
            return {};
        }
        char buffer[256];
        sockaddr_in from{};
        socklen_t length = sizeof from;
        const ssize_t got =
            ::recvfrom(fd_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &length);
        for (const std::string& reply : replies) {
            ::sendto(fd_, reply.data(), reply.size(), 0, reinterpret_cast<sockaddr*>(&from),
                     length);
        }
        return got > 0 ? std::string(buffer, static_cast<std::size_t>(got)) : std::string();
    }

private:
    int fd_ = -1;
    int port_ = 0;
};

TEST(DiscoveryFlow, AnswersOnLoopbackBecomeServersNotYetLoaded) {
    ManagerFixture f;
    f.Start();
    ManagerModel& m = *f.model;
    AgentFlows flows(m);
    flows.Install();
    std::vector<int> watched;
    flows.SetDiscoveryWatcher([&watched](int handle) { watched.push_back(handle); });
    flows.SetDiscoveryDestination("127.0.0.1");
    LoopbackAgent agent;
    ASSERT_GE(agent.Port(), ConnectionSettings::kMinPort);
    m.ChangePort(std::to_string(agent.Port()));
    ASSERT_FALSE(m.IsEnabled(Control::BtnServerDel));

    m.Execute(CommandId::AutoSearch);
    ASSERT_TRUE(f.user.errors.empty());
    ASSERT_EQ(watched.size(), 2u);
    EXPECT_EQ(watched[0], -1);
    ASSERT_GE(watched[1], 0);
    EXPECT_EQ(agent.AnswerWith({"I am Kestrelview Agent.|web|01", "I am Kestrelview Agent.|again",
                                "I am kestrelview agent.|case"}),
              "Are You Kestrelview Agent?");

    // Bounded wait: all three datagrams arrive on loopback almost at once.
    for (int round = 0; round < 20 && m.Servers().Count() < 2; ++round) {
        pollfd ready{watched[1], POLLIN, 0};
        if (::poll(&ready, 1, 100) == 1) {
            flows.DiscoveryReadable();
        }
    }
    flows.DiscoveryReadable();
    ASSERT_EQ(m.Servers().Count(), 2u);
    EXPECT_EQ(m.Servers().Entry(1).IPAddress, "127.0.0.1");
    EXPECT_EQ(m.Servers().Entry(1).ServerName, "web|01");
    ASSERT_EQ(m.Pane().ChildCount(NodeTree::kNone), 2u);
    EXPECT_EQ(m.Pane().Caption(m.ServerNode(1)), "127.0.0.1");
    EXPECT_FALSE(m.IsLoaded(m.ServerNode(1)));
    EXPECT_TRUE(m.IsEnabled(Control::BtnServerDel));
    EXPECT_TRUE(m.IsEnabled(Control::BtnReload));
}

}  // namespace
}  // namespace kv::test

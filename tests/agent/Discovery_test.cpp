#include "agent/Discovery.h"

#include <chrono>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "store/ServerList.h"
#include "support/TempDir.h"
#include "text/Cp932.h"

using namespace kv::text;
using namespace kv::store;
using namespace kv::agent;

namespace kv {
namespace {

const std::string kTag = "I am Kestrelview Agent.";

struct Servers {
    test::TempDir dir;
    ServerList list;

    explicit Servers(const std::string& csv = {}) {
        if (!csv.empty()) {
            dir.Write("Server.csv", csv);
        }
        list.Load(dir.File("Server.csv"));
    }

    std::optional<std::size_t> Reply(const std::string& bytes, const std::string& source) {
        return Discovery::HandleReply(bytes, bytes.size(), source, list);
    }
};

// ---- One reply --------------------------------------------------------------------------

TEST(DiscoveryReply, NewAddressBecomesAnEntryNamedByTheRest) {
    Servers s;
    const std::string name = Sjis("監視サーバ一号");
    const auto index = s.Reply(kTag + "|" + name, "127.168.1.20");
    ASSERT_EQ(index, 1u);
    const TServerTree& entry = s.list.Entry(1);
    EXPECT_EQ(entry.IPAddress, "127.168.1.20");
    EXPECT_EQ(entry.ServerName, name);
    EXPECT_EQ(entry.TreeText, "");
    EXPECT_EQ(entry.SettingText, "");
    EXPECT_FALSE(entry.CachedLog.has_value());
    EXPECT_EQ(s.list.Addresses().back(), "127.168.1.20");
}

TEST(DiscoveryReply, NameMayBeEmptyOrHoldFurtherBars) {
    Servers s;
    EXPECT_EQ(s.Reply(kTag + "|", "127.10.0.1"), 1u);
    EXPECT_EQ(s.list.Entry(1).ServerName, "");
    EXPECT_EQ(s.Reply(kTag + "|a|b||", "127.10.0.2"), 2u);
    EXPECT_EQ(s.list.Entry(2).ServerName, "a|b||");
}

TEST(DiscoveryReply, TextEndsAtTheFirstNul) {
    Servers s;
    EXPECT_EQ(s.Reply(kTag + "|web" + std::string(1, '\0') + "junk\x01", "127.10.0.1"), 1u);
    EXPECT_EQ(s.list.Entry(1).ServerName, "web");
    // A NUL inside the tag leaves no "|" in the text.
    EXPECT_EQ(s.Reply("I am" + std::string(1, '\0') + " Kestrelview Agent.|x", "127.10.0.2"),
              std::nullopt);
}

TEST(DiscoveryReply, AnythingButTheExactReplyIsIgnored) {
    Servers s;
    for (const std::string& bytes :
         {kTag, std::string("i am Kestrelview Agent.|x"), std::string("I am Kestrelview Agent|x"),
          std::string("I am Kestrelview Agent. |x"), std::string(" I am Kestrelview Agent.|x"),
          std::string("|") + kTag, std::string("Are You Kestrelview Agent?"), std::string(),
          std::string("|")}) {
        EXPECT_EQ(s.Reply(bytes, "127.10.0.9"), std::nullopt) << bytes;
    }
    EXPECT_EQ(s.list.Count(), 1u);
}

TEST(DiscoveryReply, EachAddressIsAddedOnceAndListedOnesStayUnchanged) {
    Servers s("ServerName,IPAddress\r\nDefaultSetting,DefaultSetting\r\nold,127.10.0.5\r\n");
    EXPECT_EQ(s.Reply(kTag + "|renamed", "127.10.0.5"), std::nullopt);
    EXPECT_EQ(s.list.Entry(1).ServerName, "old");
    EXPECT_EQ(s.Reply(kTag + "|first", "127.10.0.6"), 2u);
    EXPECT_EQ(s.Reply(kTag + "|second", "127.10.0.6"), std::nullopt);
    EXPECT_EQ(s.list.Count(), 3u);
    EXPECT_EQ(s.list.Entry(2).ServerName, "first");
}

TEST(DiscoveryReply, LengthLimitIs1024Bytes) {
    Servers s;
    const std::string fits = kTag + "|" + std::string(1024 - kTag.size() - 1, 'n');
    ASSERT_EQ(fits.size(), 1024u);
    EXPECT_EQ(s.Reply(fits, "127.10.0.1"), 1u);
    // The first 1024 bytes of a longer datagram are a fine reply, but it is not one.
    EXPECT_EQ(Discovery::HandleReply(fits, 1025, "127.10.0.2", s.list), std::nullopt);
    EXPECT_EQ(s.list.Count(), 2u);
}

TEST(DiscoveryReply, NameThatASettingTextCannotCarryIsRefused) {
    Servers s;
    for (const std::string& name :
         {std::string("web\r\n\"/etc/passwd\",\"x\",\"1\",\"\",\"rm -rf /\""), std::string("a\"b"),
          std::string("tab\there"), std::string("del\x7f")}) {
        EXPECT_EQ(s.Reply(kTag + "|" + name, "127.10.0.1"), std::nullopt);
    }
    EXPECT_EQ(s.list.Count(), 1u);
}

TEST(DiscoveryReply, FullTableAddsNothing) {
    Servers s;
    for (std::size_t i = 1; i < ServerList::kCapacity; ++i) {
        ASSERT_TRUE(s.Reply(kTag + "|n",
                            "127.11." + std::to_string(i / 256) + "." + std::to_string(i % 256)));
    }
    EXPECT_EQ(s.Reply(kTag + "|late", "127.12.0.1"), std::nullopt);
    EXPECT_EQ(s.list.Count(), ServerList::kCapacity);
}

// ---- The exchange over loopback -----------------------------------------------------------

// An Agent's discovery answer on 127.0.0.1, run on a thread of the test: it answers the
// n-th question with the n-th list of datagrams, in order, to the asking address and port.
class Responder {
public:
    explicit Responder(std::vector<std::vector<std::string>> rounds) : rounds_(std::move(rounds)) {
        fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { Serve(); });
    }
    ~Responder() {
        shutdown(fd_, SHUT_RDWR);
        thread_.join();
        close(fd_);
    }

    std::string Port() const { return std::to_string(port_); }
    std::vector<std::string> Questions() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return questions_;
    }

private:
    void Serve() {
        // Bounded: two questions at most, each waited for at most five seconds.
        for (int round = 0; round < 2; ++round) {
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, 5000) != 1) {
                return;
            }
            char buffer[2048];
            sockaddr_in from{};
            socklen_t length = sizeof from;
            const ssize_t got = recvfrom(fd_, buffer, sizeof buffer, 0,
                                         reinterpret_cast<sockaddr*>(&from), &length);
            if (got <= 0) {
                return;
            }
            {
                std::lock_guard<std::mutex> lock(mutex_);
                questions_.emplace_back(buffer, static_cast<std::size_t>(got));
            }
            if (static_cast<std::size_t>(round) >= rounds_.size()) {
                continue;
            }
            for (const std::string& answer : rounds_[static_cast<std::size_t>(round)]) {
                sendto(fd_, answer.data(), answer.size(), 0, reinterpret_cast<sockaddr*>(&from),
                       length);
            }
        }
    }

    std::vector<std::vector<std::string>> rounds_;
    mutable std::mutex mutex_;
    std::vector<std::string> questions_;
    int fd_;
    std::uint16_t port_ = 0;
    std::thread thread_;
};

// Handles what arrives within about a second.
std::vector<std::size_t> Collect(Discovery& discovery, ServerList& list, std::size_t expected) {
    std::vector<std::size_t> added;
    for (int pass = 0; pass < 20 && added.size() < expected; ++pass) {
        pollfd p{discovery.Handle(), POLLIN, 0};
        if (poll(&p, 1, 50) == 1) {
            const auto more = discovery.HandleAvailable(list);
            added.insert(added.end(), more.begin(), more.end());
        }
    }
    return added;
}

TEST(DiscoveryExchange, QuestionGoesOutAndTheAnswerAddsTheSender) {
    Responder agent({{std::string(1500, 'x'), "I am Kestrelview Agent.|loopback",
                      "I am Kestrelview Agent.|again"}});
    Servers s;
    Discovery discovery;
    discovery.Start(agent.Port(), "127.0.0.1");
    EXPECT_FALSE(discovery.Socket().BroadcastEnabled());
    EXPECT_EQ(discovery.Socket().DestinationPort(), agent.Port());
    const std::vector<std::size_t> added = Collect(discovery, s.list, 1);
    ASSERT_EQ(added, std::vector<std::size_t>{1});
    EXPECT_EQ(s.list.Entry(1).IPAddress, "127.0.0.1");
    EXPECT_EQ(s.list.Entry(1).ServerName, "loopback");
    EXPECT_EQ(agent.Questions(), std::vector<std::string>{"Are You Kestrelview Agent?"});
    EXPECT_TRUE(discovery.HandleAvailable(s.list).empty());
    EXPECT_EQ(s.list.Count(), 2u);
}

TEST(DiscoveryExchange, NewStartTakesOnlyTheNewestReplies) {
    // Only the answer to the first question is a valid reply.
    Responder agent({{"I am Kestrelview Agent.|a"}, {"not an answer"}});
    Servers s;
    Discovery discovery;
    discovery.Start(agent.Port(), "127.0.0.1");
    // Wait for the first answer to arrive, then ask again before handling it.
    pollfd p{discovery.Handle(), POLLIN, 0};
    ASSERT_EQ(poll(&p, 1, 2000), 1);
    discovery.Start(agent.Port(), "127.0.0.1");
    pollfd again{discovery.Handle(), POLLIN, 0};
    ASSERT_EQ(poll(&again, 1, 2000), 1);
    EXPECT_TRUE(discovery.HandleAvailable(s.list).empty());
    EXPECT_EQ(s.list.Count(), 1u);
    EXPECT_EQ(agent.Questions().size(), 2u);
}

TEST(DiscoveryExchange, UnreachablePortIsNoReplyAndNoFailure) {
    std::string deadPort;
    {
        Responder gone({});
        deadPort = gone.Port();
    }
    Servers s;
    Discovery discovery;
    discovery.Start(deadPort, "127.0.0.1");
    EXPECT_TRUE(Collect(discovery, s.list, 1).empty());
    EXPECT_EQ(s.list.Count(), 1u);
}

TEST(DiscoveryExchange, FailureToSendSurfacesWithTheSocketText) {
    Discovery discovery;
    try {
        // Numeric, so nothing is looked up.
        discovery.Start("4009", "999.0.0.1");
        ADD_FAILURE() << "no failure";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Error ", 0), 0u) << e.what();
        EXPECT_NE(std::string(e.what()).find(" in function sendto\r\n"), std::string::npos);
    }
}

}  // namespace
}  // namespace kv

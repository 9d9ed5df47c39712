#pragma once

#include <cstdint>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "agentd/Agent.h"
#include "agentd/AgentOptions.h"
#include "support/TempDir.h"

using namespace kv::settings;
using namespace kv::agentd;

namespace kv::test {

// A reply as the raw client saw it.
struct RawReply {
    int status = 0;
    std::string head;  // status line and header lines, as received
    std::string body;

    // The value of the first header line of that name ("" when there is none).
    std::string Header(std::string_view name) const;
};

// Sends `request` byte for byte to 127.0.0.1:port and reads until the server closes
// (at most a few seconds).
std::string Exchange(std::uint16_t port, std::string_view request);
RawReply ParseReply(const std::string& bytes);

std::string Base64(std::string_view bytes);
// "Authorization: Basic ..." with CR LF.
std::string AuthLine(std::string_view user, std::string_view password);

RawReply Get(std::uint16_t port, std::string_view target, std::string_view authLine);
RawReply Post(std::uint16_t port, std::string_view target, std::string_view body,
              std::string_view authLine);

// Sends one datagram from a fresh socket on 127.0.0.1 and returns the first datagram that
// comes back within `waitMs`.
std::optional<std::string> AskOverUdp(std::uint16_t port, std::string_view datagram, int waitMs);
// Sends several datagrams from one socket, in order, and returns the first that comes back.
std::optional<std::string> FirstAnswer(std::uint16_t port,
                                       const std::vector<std::string>& datagrams, int waitMs);

// Noon of a local date.
std::time_t LocalNoon(int year, int month, int day);

// An Agent on 127.0.0.1, a free port, a fixed day and temporary root and state
// directories (these two, the address and the port of `options` are replaced), run on a
// thread of the test and stopped when the object goes. The server name defaults to a
// Japanese one.
class AgentRunner {
public:
    explicit AgentRunner(AgentOptions options = {}, std::time_t now = LocalNoon(2026, 3, 1),
                         ServerLimits limits = {});
    ~AgentRunner();
    AgentRunner(const AgentRunner&) = delete;
    AgentRunner& operator=(const AgentRunner&) = delete;

    std::uint16_t Port() const { return agent_->Port(); }
    const TempDir& Dir() const { return dir_; }
    std::string RootPath() const { return dir_.File("root"); }
    std::string StatePath() const { return dir_.File("state"); }
    std::string LogPath() const { return dir_.File("state/log"); }

private:
    TempDir dir_;
    std::unique_ptr<Agent> agent_;
    std::thread thread_;
};

}  // namespace kv::test

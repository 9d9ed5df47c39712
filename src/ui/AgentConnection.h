#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "app/RequestPort.h"

namespace kv::agent {
class AgentRequests;
class THttpCli;
}  // namespace kv::agent

namespace kv::ui {

class QtWaiter;

// The window's way to the Agents: the one shared HTTP client, waiting through the window's
// event loop so that painting goes on during a request, behind the request port that the
// presentation model uses.
class AgentConnection : public app::RequestPort {
public:
    AgentConnection();
    ~AgentConnection() override;
    AgentConnection(const AgentConnection&) = delete;
    AgentConnection& operator=(const AgentConnection&) = delete;

    agent::THttpCli& Client() { return *client_; }
    agent::AgentRequests& Requests() { return *requests_; }

    void ApplyConnection(std::string_view user, std::string_view password,
                         std::string_view port) override;
    bool FetchTree(std::string_view address, std::string& target) override;
    bool FetchWatchSetting(std::string_view address, std::string& target) override;
    bool SendWatchSetting(std::string_view address, const std::vector<std::string>& lines) override;
    std::string FetchFileView(std::string_view address, std::string_view remotePath) override;
    // Converted as the body arrives: the reply is never held whole beside its text.
    std::string FetchFileViewText(std::string_view address, std::string_view remotePath) override;
    // Told of the body bytes received so far and the total (-1 when unknown) while a reply
    // arrives, and with (0, -1) when a request has ended.
    void SetOnProgress(std::function<void(std::uint64_t, std::int64_t)> handler);

private:
    // The request layer would answer false, which reads as a failure of the server asked.
    void RefuseWhenBusy() const;
    // Tells the progress handler that the request has ended, however it ends.
    class RequestScope;

    std::unique_ptr<QtWaiter> waiter_;
    std::unique_ptr<agent::THttpCli> client_;
    std::unique_ptr<agent::AgentRequests> requests_;
    std::function<void(std::uint64_t, std::int64_t)> onProgress_;
};

}  // namespace kv::ui

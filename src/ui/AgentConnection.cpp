#include "ui/AgentConnection.h"

#include "agent/AgentRequests.h"
#include "agent/HttpCli.h"
#include "agent/HttpException.h"
#include "ui/QtWaiter.h"

namespace kv::ui {

AgentConnection::AgentConnection()
    : waiter_(std::make_unique<QtWaiter>()),
      client_(std::make_unique<agent::THttpCli>()),
      requests_(std::make_unique<agent::AgentRequests>(*client_)) {
    client_->SetWaiter(waiter_.get());
}

AgentConnection::~AgentConnection() {
    client_->SetWaiter(nullptr);
}

void AgentConnection::RefuseWhenBusy() const {
    if (client_->State() != agent::HttpState::Ready) {
        throw agent::EClientBusy();
    }
}

void AgentConnection::ApplyConnection(std::string_view user, std::string_view password,
                                      std::string_view port) {
    requests_->ApplyConnection(user, password, port);
}

bool AgentConnection::FetchTree(std::string_view address, std::string& target) {
    RefuseWhenBusy();
    return requests_->FetchTree(address, target);
}

bool AgentConnection::FetchWatchSetting(std::string_view address, std::string& target) {
    RefuseWhenBusy();
    return requests_->FetchWatchSetting(address, target);
}

bool AgentConnection::SendWatchSetting(std::string_view address,
                                       const std::vector<std::string>& lines) {
    RefuseWhenBusy();
    return requests_->SendWatchSetting(address, lines);
}

std::string AgentConnection::FetchFileView(std::string_view address, std::string_view remotePath) {
    RefuseWhenBusy();
    return requests_->FetchFileView(address, remotePath);
}

}  // namespace kv::ui

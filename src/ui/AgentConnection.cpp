#include "ui/AgentConnection.h"

#include "agent/AgentRequests.h"
#include "agent/FileViewText.h"
#include "agent/HttpCli.h"
#include "agent/HttpException.h"
#include "ui/QtWaiter.h"

namespace kv::ui {

class AgentConnection::RequestScope {
public:
    explicit RequestScope(const AgentConnection& connection) : connection_(connection) {}
    ~RequestScope() {
        if (connection_.onProgress_) {
            connection_.onProgress_(0, -1);
        }
    }
    RequestScope(const RequestScope&) = delete;
    RequestScope& operator=(const RequestScope&) = delete;

private:
    const AgentConnection& connection_;
};

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
    const RequestScope scope(*this);
    return requests_->FetchTree(address, target);
}

bool AgentConnection::FetchWatchSetting(std::string_view address, std::string& target) {
    RefuseWhenBusy();
    const RequestScope scope(*this);
    return requests_->FetchWatchSetting(address, target);
}

bool AgentConnection::SendWatchSetting(std::string_view address,
                                       const std::vector<std::string>& lines) {
    RefuseWhenBusy();
    const RequestScope scope(*this);
    return requests_->SendWatchSetting(address, lines);
}

std::string AgentConnection::FetchFileView(std::string_view address, std::string_view remotePath) {
    RefuseWhenBusy();
    const RequestScope scope(*this);
    return requests_->FetchFileView(address, remotePath);
}

std::string AgentConnection::FetchFileViewText(std::string_view address,
                                               std::string_view remotePath) {
    const RequestScope scope(*this);
    agent::FileViewTextBuilder builder;
    std::string text;
    requests_->FetchFileView(address, remotePath, [&](std::string_view piece) {
        if (text.capacity() == 0) {
            // Room for the whole text at once: growing by doubling would hold it one and a
            // half times over. Pages not written to cost no memory.
            const std::int64_t length = client_->ContentLength();
            text.reserve(length > 0 ? static_cast<std::size_t>(length) / 4 * 5 + 4096 : 1 << 20);
        }
        if (text.size() + 2 * piece.size() + 4 > text.capacity()) {
            text.reserve(text.capacity() / 4 * 5 + 2 * piece.size() + 4);
        }
        builder.Feed(piece, text);
    });
    builder.Finish(text);
    return text;
}

void AgentConnection::SetOnProgress(std::function<void(std::uint64_t, std::int64_t)> handler) {
    onProgress_ = std::move(handler);
    client_->SetOnProgress(onProgress_);
}

}  // namespace kv::ui

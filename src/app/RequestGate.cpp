#include "app/RequestGate.h"

#include "agent/HttpException.h"

namespace kv::app {

namespace {

// Every request fails as the connection would: no Agent to ask.
class NoAgent final : public RequestPort {
public:
    void ApplyConnection(std::string_view, std::string_view, std::string_view) override {}
    bool FetchTree(std::string_view, std::string&) override { return false; }
    bool FetchWatchSetting(std::string_view, std::string&) override { return false; }
    bool SendWatchSetting(std::string_view, const std::vector<std::string>&) override {
        return false;
    }
    std::string FetchFileView(std::string_view, std::string_view) override {
        throw agent::EHttpException("no Agent connection", 404);
    }
};

NoAgent& NoAgentPort() {
    static NoAgent port;
    return port;
}

class WaitCount {
public:
    explicit WaitCount(int& count) : count_(count) { ++count_; }
    ~WaitCount() { --count_; }
    WaitCount(const WaitCount&) = delete;
    WaitCount& operator=(const WaitCount&) = delete;

private:
    int& count_;
};

}  // namespace

RequestGate::RequestGate() : port_(&NoAgentPort()) {}

void RequestGate::SetPort(RequestPort* port) {
    port_ = port != nullptr ? port : &NoAgentPort();
}

template <typename Call>
auto RequestGate::Guarded(Call call) {
    if (Waiting()) {
        throw agent::EClientBusy();
    }
    const WaitCount count(waiting_);
    return call(*port_);
}

void RequestGate::ApplyConnection(std::string_view user, std::string_view password,
                                  std::string_view port) {
    port_->ApplyConnection(user, password, port);
}

bool RequestGate::FetchTree(std::string_view address, std::string& target) {
    return Guarded([&](RequestPort& port) { return port.FetchTree(address, target); });
}

bool RequestGate::FetchWatchSetting(std::string_view address, std::string& target) {
    return Guarded([&](RequestPort& port) { return port.FetchWatchSetting(address, target); });
}

bool RequestGate::SendWatchSetting(std::string_view address,
                                   const std::vector<std::string>& lines) {
    return Guarded([&](RequestPort& port) { return port.SendWatchSetting(address, lines); });
}

std::string RequestGate::FetchFileView(std::string_view address, std::string_view remotePath) {
    return Guarded([&](RequestPort& port) { return port.FetchFileView(address, remotePath); });
}

}  // namespace kv::app

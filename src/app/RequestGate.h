#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "app/RequestPort.h"

namespace kv::app {

// The model's one way to the Agents. It knows whether a request is waiting, and refuses a
// second one with EClientBusy before it reaches the shared client: while a request waits
// the window stays live, and whatever the user starts then must not turn the client's
// refusal into a failure of some server. Without a port installed every request fails as
// a lost connection (the "no Agent" port), so callers need no null checks.
class RequestGate final : public RequestPort {
public:
    RequestGate();

    // nullptr installs the "no Agent" port again.
    void SetPort(RequestPort* port);
    bool Waiting() const { return waiting_ > 0; }

    void ApplyConnection(std::string_view user, std::string_view password,
                         std::string_view port) override;
    bool FetchTree(std::string_view address, std::string& target) override;
    bool FetchWatchSetting(std::string_view address, std::string& target) override;
    bool SendWatchSetting(std::string_view address, const std::vector<std::string>& lines) override;
    std::string FetchFileView(std::string_view address, std::string_view remotePath) override;

private:
    template <typename Call>
    auto Guarded(Call call);

    RequestPort* port_;
    int waiting_ = 0;
};

}  // namespace kv::app

#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "agent/FileViewText.h"

namespace kv::app {

// The Agent requests, as the request layer offers them, behind an interface so that the
// model runs without a network in tests. Bytes go out and come back unconverted.
// Errors: a request that did not get its answer returns false (the file view throws
// EHttpException with the reason); a request refused because the shared client is still
// serving another throws EClientBusy, which is never a failure of the server asked.
class RequestPort {
public:
    virtual ~RequestPort() = default;

    // User name, password and Agent port text, applied before the next request.
    virtual void ApplyConnection(std::string_view user, std::string_view password,
                                 std::string_view port) = 0;

    // GetTree.cgi / GetWatchSetting.cgi: true and `target` replaced by the reply body, or
    // false with `target` untouched.
    virtual bool FetchTree(std::string_view address, std::string& target) = 0;
    virtual bool FetchWatchSetting(std::string_view address, std::string& target) = 0;
    // PostWatchSetting.cgi with the lines of the body, each sent with CR LF.
    virtual bool SendWatchSetting(std::string_view address,
                                  const std::vector<std::string>& lines) = 0;
    // GetFileView.cgi?path: the reply body; throws std::exception with the failure's text.
    virtual std::string FetchFileView(std::string_view address, std::string_view remotePath) = 0;
    // The same file's prepared text (see PrepareFileViewText). A port that can convert the
    // body as it arrives overrides this, so that a large file is never held twice.
    virtual std::string FetchFileViewText(std::string_view address, std::string_view remotePath) {
        return agent::PrepareFileViewText(FetchFileView(address, remotePath));
    }
};

}  // namespace kv::app

#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kv::agent {

class THttpCli;

// The four Agent requests over the one shared HTTP client. URLs are "http://" + address +
// ":" + port + path, concatenated as they stand (the client refuses CR, LF and NUL); bytes
// go out and come back unconverted. Every operation leaves the client with neither a
// reply nor a request buffer attached, on every path.
//
// While the client is in the middle of a request (an operation started from inside the
// client's wait, as a window's event dispatch may do), every operation is refused without
// touching that request: the fetches and the upload return false, the file view fails as
// busy.
class AgentRequests {
public:
    explicit AgentRequests(THttpCli& client);
    AgentRequests(const AgentRequests&) = delete;
    AgentRequests& operator=(const AgentRequests&) = delete;

    // The connection settings in force for the next request: the client's Basic
    // credentials and the Agent port text. A request already running is not affected.
    void ApplyConnection(std::string_view user, std::string_view password, std::string_view port);
    const std::string& Port() const { return port_; }
    THttpCli& Client() const { return client_; }

    // "http://" + address + ":" + Port() + path
    std::string Url(std::string_view address, std::string_view path) const;

    // GetTree.cgi / GetWatchSetting.cgi. True and `target` replaced by the whole body; false
    // for any failure (transport, a status of 400 or above, 401 and 407 included), with
    // `target` as it was.
    bool FetchTree(std::string_view address, std::string& target);
    bool FetchWatchSetting(std::string_view address, std::string& target);
    // POST of the lines to PostWatchSetting.cgi, each line followed by CR LF. True only when
    // the Agent accepted it: a final 401 (the credentials refused or never answerable)
    // means it stored nothing and gives false, like any other failure.
    bool SendWatchSetting(std::string_view address, const std::vector<std::string>& lines);
    // GetFileView.cgi?remotePath: the body of any reply the client does not fail for, a 401
    // reply's body included. Throws EHttpException for the client's failures.
    std::string FetchFileView(std::string_view address, std::string_view remotePath);
    // The same request, its body handed to `sink` piece by piece as it arrives (only the
    // final reply's body: see THttpCli::SetReplySink). Fails as FetchFileView does.
    void FetchFileView(std::string_view address, std::string_view remotePath,
                       const std::function<void(std::string_view)>& sink);

private:
    bool Fetch(std::string_view address, std::string_view path, std::string& target);
    bool Busy() const;
    void FetchFileView(std::string_view address, std::string_view remotePath, std::string* reply,
                       std::function<void(std::string_view)> sink);

    THttpCli& client_;
    std::string port_ = "4009";
};

}  // namespace kv::agent

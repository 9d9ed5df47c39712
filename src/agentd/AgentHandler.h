#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "agentd/BasicAuth.h"
#include "agentd/DailyLog.h"
#include "agentd/FileResolver.h"
#include "agentd/HttpRequest.h"
#include "agentd/HttpResponse.h"
#include "agentd/LoginThrottle.h"
#include "agentd/SettingStore.h"
#include "agentd/TreeListing.h"

namespace kv::agentd {

// Everything the endpoints need, resolved: canonical disk paths, Shift_JIS texts.
struct AgentSetup {
    std::string root;        // the directory standing for the Agent's "/"
    std::string treeFile;    // a canned GetTree.cgi reply; empty: walk `root`
    TreeBounds tree;         // its excludes are left out of the files served too
    std::string serverName;  // Shift_JIS
    std::string user;
    std::string password;
    std::string settingFile;     // empty: the setting lives in memory only
    std::string watchStateFile;  // positions and counters of the watching
    std::string logDir;
    std::string logRemoteDir;  // Shift_JIS remote path of `logDir`
    DailyLog::Clock clock;
};

// The Agent's endpoints behind Basic authentication, its discovery answer and its log of
// every request.
class AgentHandler {
public:
    explicit AgentHandler(AgentSetup setup);

    HttpResponse Serve(const HttpRequest& request, const std::string& peer);
    HttpResponse Reject(int status, const std::string& peer);
    std::optional<std::string> Datagram(std::string_view datagram) const;

    DailyLog& Log() { return log_; }
    const SettingStore& Setting() const { return store_; }
    const std::string& ServerName() const { return serverName_; }
    // Called after an uploaded setting has been stored.
    void OnSettingStored(std::function<void()> listener) { stored_ = std::move(listener); }

private:
    HttpResponse Dispatch(const HttpRequest& request, const std::string& peer);
    HttpResponse GetTree(const HttpRequest& request);
    HttpResponse GetWatchSetting(const HttpRequest& request);
    HttpResponse PostWatchSetting(const HttpRequest& request);
    HttpResponse GetFileView(const HttpRequest& request);

    struct Endpoint {
        std::string_view path;
        std::string_view method;
        HttpResponse (AgentHandler::*handle)(const HttpRequest&);
    };
    static const Endpoint kEndpoints[];

    std::string root_;
    std::string treeFile_;
    TreeBounds tree_;
    std::string serverName_;
    BasicAuth auth_;
    agentd::LoginThrottle throttle_;
    SettingStore store_;
    DailyLog log_;
    FileResolver files_;
    std::function<void()> stored_;
};

}  // namespace kv::agentd

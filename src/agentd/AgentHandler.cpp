#include "agentd/AgentHandler.h"

#include <cstdio>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>

#include "agentd/Discovery.h"
#include "agentd/TreeListing.h"
#include "store/InOutError.h"

namespace kv::agentd {
namespace {

std::optional<HttpResponse> FileReply(const std::string& path) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    struct stat info {};
    if (!fd.Valid() || fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return std::nullopt;
    }
    HttpResponse response;
    response.file = std::move(fd);
    response.fileSize = static_cast<std::uint64_t>(info.st_size);
    return response;
}

// Request targets come from outside: control bytes must not break the log's lines.
std::string Printable(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F) {
            c = '?';
        }
    }
    return out;
}

}  // namespace

const AgentHandler::Endpoint AgentHandler::kEndpoints[] = {
    {"/GetTree.cgi", "GET", &AgentHandler::GetTree},
    {"/GetWatchSetting.cgi", "GET", &AgentHandler::GetWatchSetting},
    {"/PostWatchSetting.cgi", "POST", &AgentHandler::PostWatchSetting},
    {"/GetFileView.cgi", "GET", &AgentHandler::GetFileView},
};

AgentHandler::AgentHandler(AgentSetup setup)
    : root_(setup.root),
      treeFile_(std::move(setup.treeFile)),
      tree_(setup.tree),
      serverName_(std::move(setup.serverName)),
      auth_(std::move(setup.user), std::move(setup.password), "Kestrelview Agent"),
      store_(std::move(setup.settingFile)),
      log_(setup.logDir, setup.logRemoteDir, std::move(setup.clock)),
      files_(std::move(setup.root), std::move(setup.logDir), std::move(setup.logRemoteDir),
             std::move(setup.tree.excludes)) {}

HttpResponse AgentHandler::Serve(const HttpRequest& request, const std::string& peer) {
    HttpResponse response = Dispatch(request, peer);
    log_.Append(peer + " " + request.method + " " + Printable(request.target) + " " +
                std::to_string(response.status));
    return response;
}

HttpResponse AgentHandler::Reject(int status, const std::string& peer) {
    log_.Append(peer + " - " + std::to_string(status));
    return HttpResponse::Status(status);
}

std::optional<std::string> AgentHandler::Datagram(std::string_view datagram) const {
    return DiscoveryReply(datagram, serverName_);
}

HttpResponse AgentHandler::Dispatch(const HttpRequest& request, const std::string& peer) {
    const std::string* credentials = request.Header("Authorization");
    if (!auth_.Accepts(credentials)) {
        HttpResponse response = HttpResponse::Status(401);
        response.headers.emplace_back("WWW-Authenticate", auth_.Challenge());
        // A request without credentials is the usual first step of a client, not a guess.
        if (credentials != nullptr) {
            response.delay = throttle_.Failed(peer, agentd::LoginThrottle::Clock::now());
        }
        return response;
    }
    throttle_.Succeeded(peer);
    for (const Endpoint& endpoint : kEndpoints) {
        if (request.Path() != endpoint.path) {
            continue;
        }
        if (request.method != endpoint.method) {
            HttpResponse response = HttpResponse::Status(405);
            response.headers.emplace_back("Allow", std::string(endpoint.method));
            return response;
        }
        return (this->*endpoint.handle)(request);
    }
    return HttpResponse::Status(404);
}

HttpResponse AgentHandler::GetTree(const HttpRequest&) {
    if (treeFile_.empty()) {
        // A large tree takes a while to walk: the loop serves others meanwhile.
        HttpResponse response;
        response.later = [root = root_, bounds = tree_] {
            return HttpResponse::Text(200, BuildTreeListing(root, bounds).text);
        };
        return response;
    }
    auto canned = FileReply(treeFile_);
    return canned ? std::move(*canned) : HttpResponse::Status(500);
}

HttpResponse AgentHandler::GetWatchSetting(const HttpRequest&) {
    return HttpResponse::Text(200, store_.SettingText(serverName_, log_.TodayRemotePath()));
}

HttpResponse AgentHandler::PostWatchSetting(const HttpRequest& request) {
    try {
        switch (store_.Accept(request.body)) {
            case SettingStore::Upload::Stored:
                if (stored_) {
                    stored_();
                }
                return HttpResponse::Text(200, "OK\r\n");
            case SettingStore::Upload::NoMailLine:
            case SettingStore::Upload::TooManyRows:
                break;
        }
        return HttpResponse::Status(400);
    } catch (const store::EInOutError& error) {
        std::fprintf(stderr, "kestrelview-agent: %s\n", error.what());
        return HttpResponse::Status(500);
    }
}

HttpResponse AgentHandler::GetFileView(const HttpRequest& request) {
    const auto path = request.HasQuery() ? files_.Resolve(request.Query()) : std::nullopt;
    auto reply = path ? FileReply(*path) : std::nullopt;
    return reply ? std::move(*reply) : HttpResponse::Status(404);
}

}  // namespace kv::agentd

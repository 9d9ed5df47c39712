#include "agent/AgentRequests.h"

#include <exception>

#include "agent/HttpCli.h"

namespace kv::agent {

namespace {

constexpr std::string_view kTreePath = "/GetTree.cgi";
constexpr std::string_view kSettingPath = "/GetWatchSetting.cgi";
constexpr std::string_view kUploadPath = "/PostWatchSetting.cgi";
constexpr std::string_view kFileViewPath = "/GetFileView.cgi?";

// Attaches the operation's own buffers to the client and detaches them when the operation
// ends, however it ends: the client must never write into a buffer that is gone.
class AttachedBuffers {
public:
    AttachedBuffers(THttpCli& client, std::string* reply, const std::string* request,
                    THttpCli::BodySink sink = nullptr)
        : client_(client) {
        client_.SetRequestBody(request);
        client_.SetReplyBody(reply);
        client_.SetReplySink(std::move(sink));
    }
    ~AttachedBuffers() {
        client_.SetReplySink(nullptr);
        client_.SetReplyBody(nullptr);
        client_.SetRequestBody(nullptr);
    }
    AttachedBuffers(const AttachedBuffers&) = delete;
    AttachedBuffers& operator=(const AttachedBuffers&) = delete;

private:
    THttpCli& client_;
};

bool Refused(int status) {
    return status >= 400;
}

}  // namespace

AgentRequests::AgentRequests(THttpCli& client) : client_(client) {}

void AgentRequests::ApplyConnection(std::string_view user, std::string_view password,
                                    std::string_view port) {
    client_.SetUsername(std::string(user));
    client_.SetPassword(std::string(password));
    port_.assign(port);
}

std::string AgentRequests::Url(std::string_view address, std::string_view path) const {
    std::string url = "http://";
    url.append(address).append(":").append(port_).append(path);
    return url;
}

bool AgentRequests::Busy() const {
    return client_.State() != HttpState::Ready;
}

bool AgentRequests::FetchTree(std::string_view address, std::string& target) {
    return Fetch(address, kTreePath, target);
}

bool AgentRequests::FetchWatchSetting(std::string_view address, std::string& target) {
    return Fetch(address, kSettingPath, target);
}

bool AgentRequests::Fetch(std::string_view address, std::string_view path, std::string& target) {
    if (Busy()) {
        return false;
    }
    try {
        client_.SyncClose();
        client_.SetURL(Url(address, path));
        std::string reply;
        {
            AttachedBuffers attached(client_, &reply, nullptr);
            client_.SyncGet();
        }
        if (Refused(client_.ReplyStatus())) {
            return false;
        }
        target = std::move(reply);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool AgentRequests::SendWatchSetting(std::string_view address,
                                     const std::vector<std::string>& lines) {
    if (Busy()) {
        return false;
    }
    try {
        client_.SyncClose();
        std::string body;
        for (const std::string& line : lines) {
            body.append(line).append("\r\n");
        }
        std::string reply;
        AttachedBuffers attached(client_, &reply, &body);
        client_.SetURL(Url(address, kUploadPath));
        client_.SyncPost();
        return !Refused(client_.ReplyStatus());
    } catch (const std::exception&) {
        return false;
    }
}

std::string AgentRequests::FetchFileView(std::string_view address, std::string_view remotePath) {
    std::string reply;
    FetchFileView(address, remotePath, &reply, nullptr);
    return reply;
}

void AgentRequests::FetchFileView(std::string_view address, std::string_view remotePath,
                                  const std::function<void(std::string_view)>& sink) {
    FetchFileView(address, remotePath, nullptr, sink);
}

void AgentRequests::FetchFileView(std::string_view address, std::string_view remotePath,
                                  std::string* reply, THttpCli::BodySink sink) {
    std::string url = Url(address, kFileViewPath);
    url.append(remotePath);
    // A running request is left alone: SyncGet refuses as busy before it touches anything.
    if (Busy()) {
        client_.SyncGet();
    }
    client_.SetURL(std::move(url));
    AttachedBuffers attached(client_, reply, nullptr, std::move(sink));
    client_.SyncGet();
}

}  // namespace kv::agent

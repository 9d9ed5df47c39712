#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "agent/HttpReplyParser.h"
#include "agent/HttpUrl.h"

namespace kv::agent {

class Waiter;
class Resolver;

enum class HttpState {
    Ready,
    NotConnected,
    Connected,
    DnsLookup,
    DnsLookupDone,
    WaitingHeader,
    WaitingBody,
    BodyReceived,
    Closing,
    Aborting
};

enum class HttpRequest { Get, Post, Close };

// HTTP/1.0 client on a non-blocking socket, one request at a time. An operation returns
// when the reply has been read completely or fails with EHttpException (message: the
// reason, error number: the status; 404 for transport failures). Replies of status 400 and
// above fail, except 401 and 407, which the caller tests in ReplyStatus(). Basic
// credentials are sent only after a 401 challenge, only once per request, and only to the
// host and port the request was first made to: a relocation elsewhere gets none.
//
// Not thread-safe, except Abort(). The wait for the socket goes through a Waiter, which may
// run other work meanwhile; a request started from there is refused as busy.
class THttpCli {
public:
    explicit THttpCli(std::string name = "HTTPWatchCli");
    ~THttpCli();
    THttpCli(const THttpCli&) = delete;
    THttpCli& operator=(const THttpCli&) = delete;

    // Configuration; the defaults are the Manager's values.
    const std::string& RequestVer() const { return requestVer_; }
    // Only "1.0" and "1.1"; anything else fails with "Insupported HTTP version" (5).
    void SetRequestVer(const std::string& version);
    const std::string& Agent() const { return agent_; }
    void SetAgent(std::string agent) { agent_ = std::move(agent); }
    const std::string& Accept() const { return accept_; }
    void SetAccept(std::string accept) { accept_ = std::move(accept); }
    const std::string& Username() const { return username_; }
    void SetUsername(std::string username) { username_ = std::move(username); }
    const std::string& Password() const { return password_; }
    void SetPassword(std::string password) { password_ = std::move(password); }
    bool NoCache() const { return noCache_; }
    void SetNoCache(bool noCache) { noCache_ = noCache; }
    const std::string& ContentTypePost() const { return contentTypePost_; }
    void SetContentTypePost(std::string type) { contentTypePost_ = std::move(type); }
    bool FollowRelocation() const { return followRelocation_; }
    void SetFollowRelocation(bool follow) { followRelocation_ = follow; }
    int LocationChangeMaxCount() const { return locationChangeMaxCount_; }
    void SetLocationChangeMaxCount(int count) { locationChangeMaxCount_ = count; }
    // A request that moves no byte (connect, send or receive) for this long fails.
    std::chrono::milliseconds IdleTimeout() const { return idleTimeout_; }
    void SetIdleTimeout(std::chrono::milliseconds timeout) { idleTimeout_ = timeout; }
    // A connection not up after this long fails; zero leaves the connect to the idle timeout.
    std::chrono::milliseconds ConnectTimeout() const { return connectTimeout_; }
    void SetConnectTimeout(std::chrono::milliseconds timeout) { connectTimeout_ = timeout; }
    // A reply whose header or body held in memory grows past this many bytes fails with
    // "Reply too large", long before memory runs out.
    std::uint64_t MaxReplySize() const { return maxReplySize_; }
    void SetMaxReplySize(std::uint64_t size) { maxReplySize_ = size; }
    // nullptr restores the defaults (poll, and the system's name lookup). Not owned.
    void SetWaiter(Waiter* waiter);
    void SetResolver(Resolver* resolver);
    // Offered at the end of every operation with the request kind and the error number
    // (0, a system errno, a lookup error, 3 for an abort).
    void SetOnRequestDone(std::function<void(HttpRequest, int)> handler) {
        onRequestDone_ = std::move(handler);
    }

    // The request. URL: "http://" host [":" port] path; the path goes out byte for byte.
    const std::string& URL() const { return url_; }
    void SetURL(std::string url) { url_ = std::move(url); }
    // Caller-owned buffer that receives the reply body at its end; nullptr drops the body.
    std::string* ReplyBody() const { return replyBody_; }
    void SetReplyBody(std::string* body) { replyBody_ = body; }
    // Takes the reply body instead of ReplyBody, piece by piece as it arrives, so that a large
    // body need not be held. Only the body of the reply that ends the request, and does not
    // fail it, is passed on: not that of a 401 answered with credentials, of a relocation
    // that is followed, or of a reply of status 400 and above (401 and 407 excepted).
    using BodySink = std::function<void(std::string_view)>;
    void SetReplySink(BodySink sink) { replySink_ = std::move(sink); }
    // Told, as body bytes arrive, how many have arrived and the reply's content length (-1
    // when it has none).
    using ProgressHandler = std::function<void(std::uint64_t received, std::int64_t total)>;
    void SetOnProgress(ProgressHandler handler) { onProgress_ = std::move(handler); }
    // Caller-owned body of a POST: its bytes from `position` to the end are sent.
    const std::string* RequestBody() const { return requestBody_; }
    void SetRequestBody(const std::string* body, std::size_t position = 0) {
        requestBody_ = body;
        requestPosition_ = position;
    }

    void SyncGet();
    void SyncPost();
    // Closes a kept-alive connection; ReplyStatus 200 "OK". Called while a request runs,
    // it aborts that request.
    void SyncClose();
    // Makes the running request fail with "Connection aborted on request" at its next wait.
    // Safe from any thread.
    void Abort() { abortRequested_ = true; }

    // The last reply, or the failure.
    int ReplyStatus() const { return replyStatus_; }
    const std::string& ReplyReason() const { return replyReason_; }
    std::int64_t ContentLength() const { return parser_.Result().contentLength; }
    const std::string& ContentType() const { return parser_.Result().contentType; }
    const std::string& TransferEncoding() const { return parser_.Result().transferEncoding; }
    const std::string& ContentEncoding() const { return parser_.Result().contentEncoding; }
    const std::vector<std::string>& ReplyHeader() const { return parser_.Result().lines; }
    // 0 nothing to send, 1 credentials to be sent, 2 credentials accepted.
    int AuthBasicState() const { return authBasicState_; }
    int LocationChangeCount() const { return locationChangeCount_; }
    HttpState State() const { return state_; }
    // The state the last failed request was in when it failed (NotConnected: connecting;
    // WaitingHeader or WaitingBody: waiting for the reply); Ready after a success.
    HttpState FailedIn() const { return failedIn_; }
    // A kept-alive connection is open.
    bool Connected() const { return fd_ >= 0; }

private:
    void Run(HttpRequest kind);
    struct StaleConnection {};

    void Exchange();
    void SendRequest();
    bool FollowsRelocation();
    bool RetriesWithCredentials();
    void Connect();
    bool ConnectionReusable() const;
    std::string ComposeHeader() const;
    void Send(const char* data, std::size_t size);
    void ReadReply();
    void WaitFor(bool readable);
    void Progress();
    void CheckReplySize();
    void CutBackReplyBody();
    bool HoldsBody() const;
    void PassToSink();
    void CloseConnection();
    void Done(HttpRequest kind, int error);
    // A transport failure: status 404, unless a stale kept-alive connection is to be replaced.
    [[noreturn]] void FailTransport(const std::string& reason, int error);
    [[noreturn]] void Fail(int status, const std::string& reason, int error);

    std::string name_;
    std::string requestVer_ = "1.0";
    std::string agent_ = "Mozilla/4.0 (compatible; Kestrelview Manager)";
    std::string accept_ = "image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*";
    std::string username_ = "root";
    std::string password_ = "plumtree";
    bool noCache_ = false;
    std::string contentTypePost_ = "application/x-www-form-urlencoded";
    bool followRelocation_ = true;
    int locationChangeMaxCount_ = 5;
    std::chrono::milliseconds idleTimeout_{60000};
    std::chrono::milliseconds connectTimeout_{0};
    std::uint64_t maxReplySize_ = std::uint64_t{512} << 20;
    std::unique_ptr<Waiter> ownWaiter_;
    Waiter* waiter_;
    Resolver* resolver_;
    std::function<void(HttpRequest, int)> onRequestDone_;

    std::string url_;
    std::string* replyBody_ = nullptr;
    BodySink replySink_;
    // What the sink has not been given yet.
    std::string sinkBuffer_;
    ProgressHandler onProgress_;
    const std::string* requestBody_ = nullptr;
    std::size_t requestPosition_ = 0;

    // State of the running request.
    bool busy_ = false;
    bool retryOnNewConnection_ = false;
    std::atomic<bool> abortRequested_{false};
    HttpState state_ = HttpState::Ready;
    HttpRequest kind_ = HttpRequest::Get;
    bool post_ = false;
    HttpUrl target_;
    // Where the request was first sent: the only server its credentials go to.
    HttpUrl origin_;
    HttpState failedIn_ = HttpState::Ready;
    bool connecting_ = false;
    std::string requestUser_;
    std::string requestPassword_;
    int authBasicState_ = 0;
    int locationChangeCount_ = 0;
    int replyStatus_ = 0;
    std::string replyReason_;
    HttpReplyParser parser_;
    std::chrono::steady_clock::time_point lastProgress_;
    std::vector<char> readBuffer_;

    // The open connection.
    int fd_ = -1;
    HttpUrl connection_;
};

}  // namespace kv::agent

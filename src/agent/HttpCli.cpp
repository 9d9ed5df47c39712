#include "agent/HttpCli.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include "agent/HttpException.h"
#include "agent/HttpRequestHeader.h"
#include "agent/HttpText.h"
#include "agent/PollWaiter.h"
#include "agent/Resolver.h"

namespace kv::agent {

namespace {

using http_text::EqualNoCase;
using http_text::StartsWithNoCase;

// Request bodies go out in pieces of this size.
constexpr std::size_t kPieceSize = 8193;
// Replies are taken in large pieces: a big download then costs few wake-ups, which matters
// most on a busy machine. Header lines are still held to the parser's 8193-byte buffer.
constexpr std::size_t kReadSize = 256 * 1024;
constexpr int kMaxWaitMs = 1000;
constexpr int kAbortedError = 3;

std::string ErrorText(int error) {
    return std::string(std::strerror(error)) + " (Error #" + std::to_string(error) + ")";
}

bool HasLineBreakOrNul(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

// 1 to 65535, digits only; 0 when the text is no port.
std::uint16_t ParsePort(const std::string& text) {
    if (text.empty() || text.size() > 5 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return 0;
    }
    const int port = std::stoi(text);
    return port <= 65535 ? static_cast<std::uint16_t>(port) : 0;
}

bool Failing(int status) {
    return status >= 400 && status != 401 && status != 407;
}

struct BusyFlag {
    explicit BusyFlag(bool& flag) : flag_(flag) { flag_ = true; }
    ~BusyFlag() { flag_ = false; }
    bool& flag_;
};

}  // namespace

THttpCli::THttpCli(std::string name)
    : name_(std::move(name)),
      ownWaiter_(std::make_unique<PollWaiter>()),
      waiter_(ownWaiter_.get()),
      resolver_(&Resolver::System()),
      readBuffer_(kReadSize) {}

THttpCli::~THttpCli() {
    CloseConnection();
}

void THttpCli::SetRequestVer(const std::string& version) {
    if (version != "1.0" && version != "1.1") {
        throw EHttpException("Insupported HTTP version", 5);
    }
    requestVer_ = version;
}

void THttpCli::SetWaiter(Waiter* waiter) {
    waiter_ = waiter != nullptr ? waiter : ownWaiter_.get();
}

void THttpCli::SetResolver(Resolver* resolver) {
    resolver_ = resolver != nullptr ? resolver : &Resolver::System();
}

void THttpCli::SyncGet() {
    Run(HttpRequest::Get);
}

void THttpCli::SyncPost() {
    Run(HttpRequest::Post);
}

void THttpCli::SyncClose() {
    if (busy_) {
        Abort();
        return;
    }
    state_ = HttpState::Closing;
    replyStatus_ = 200;
    replyReason_ = "OK";
    CloseConnection();
    state_ = HttpState::Ready;
    Done(HttpRequest::Close, 0);
}

void THttpCli::Run(HttpRequest kind) {
    if (busy_) {
        throw EHttpException("HTTP component " + name_ + " is busy", 1);
    }
    if (kind == HttpRequest::Post && requestBody_ == nullptr) {
        throw EHttpException("HTTP component has nothing to post or put", 2);
    }
    BusyFlag busy(busy_);
    abortRequested_ = false;
    kind_ = kind;
    post_ = kind == HttpRequest::Post;
    locationChangeCount_ = 0;
    replyStatus_ = 0;
    parser_ = HttpReplyParser{};
    requestUser_ = username_;
    requestPassword_ = password_;
    target_ = HttpUrl::Split(url_);
    origin_ = target_;
    failedIn_ = HttpState::Ready;
    authBasicState_ = 0;
    for (;;) {
        try {
            Exchange();
        } catch (const EHttpException&) {
            throw;
        } catch (...) {
            // The caller's sink failed: the rest of this reply can never be read.
            CloseConnection();
            state_ = HttpState::Ready;
            throw;
        }
        const int status = replyStatus_;
        if (status != 401 && status != 407 && authBasicState_ == 1) {
            authBasicState_ = 2;
        } else if (status == 401 && authBasicState_ == 2) {
            authBasicState_ = 0;
        }
        if (!FollowsRelocation() && !RetriesWithCredentials()) {
            break;
        }
        CutBackReplyBody();
    }
    PassToSink();
    state_ = HttpState::Ready;
    Done(kind, 0);
    if (Failing(replyStatus_)) {
        throw EHttpException(replyReason_, replyStatus_);
    }
}

// One request on the current target and its reply. A kept-alive connection may have been
// closed by the server just as the request went out; then the request goes once more on a
// new connection, provided no reply byte had come back.
void THttpCli::Exchange() {
    if (HasLineBreakOrNul(target_.host) || HasLineBreakOrNul(target_.port) ||
        HasLineBreakOrNul(target_.path)) {
        Fail(400, "URL holds a CR, LF or NUL byte; the request was not sent", EINVAL);
    }
    if (!EqualNoCase(target_.protocol, "http")) {
        Fail(501, "Protocol \"" + target_.protocol + "\" not implemented", 0);
    }
    lastProgress_ = std::chrono::steady_clock::now();
    retryOnNewConnection_ = ConnectionReusable();
    if (retryOnNewConnection_) {
        state_ = HttpState::Connected;
    } else {
        Connect();
    }
    try {
        SendRequest();
        ReadReply();
    } catch (const StaleConnection&) {
        Connect();
        SendRequest();
        ReadReply();
    }
}

void THttpCli::SendRequest() {
    sinkBuffer_.clear();
    if (replySink_) {
        parser_.Start(requestVer_ == "1.0", &sinkBuffer_, false);
    } else {
        parser_.Start(requestVer_ == "1.0", replyBody_);
    }
    const std::string header = ComposeHeader();
    Send(header.data(), header.size());
    if (post_) {
        for (std::size_t at = requestPosition_; at < requestBody_->size(); at += kPieceSize) {
            Send(requestBody_->data() + at, std::min(kPieceSize, requestBody_->size() - at));
        }
    }
}

// A Location line moves the request to a new target, a POST becoming a GET, until the
// relocation count would pass its limit; the last relocating reply is then the result.
bool THttpCli::FollowsRelocation() {
    const HttpReplyParser::Reply& reply = parser_.Result();
    if (!reply.hasLocation || !followRelocation_) {
        return false;
    }
    HttpUrl next = target_.Relocated(reply.location);
    // Reading a reply to its end counts once, a new connection once more.
    const int count = (parser_.HowEnded() != HttpReplyParser::Ending::AtClose ? 1 : 0) +
                      (fd_ >= 0 && next.SameServer(connection_) ? 0 : 1);
    if (locationChangeCount_ + count > locationChangeMaxCount_) {
        return false;
    }
    locationChangeCount_ += count;
    target_ = std::move(next);
    post_ = false;
    return true;
}

// A Basic challenge is answered once; a second 401 after the credentials ends the request.
bool THttpCli::RetriesWithCredentials() {
    const HttpReplyParser::Reply& reply = parser_.Result();
    if (replyStatus_ != 401 || requestUser_.empty() || requestPassword_.empty() ||
        !target_.SameServer(origin_)) {
        return false;
    }
    const bool basic = std::any_of(
        reply.challenges.begin(), reply.challenges.end(),
        [](const std::string& challenge) { return StartsWithNoCase(challenge, "Basic"); });
    if (!basic) {
        return false;
    }
    if (authBasicState_ == 0) {
        authBasicState_ = 1;
        return true;
    }
    if (authBasicState_ == 1) {
        authBasicState_ = 0;
    }
    return false;
}

bool THttpCli::ConnectionReusable() const {
    if (fd_ < 0 || !target_.SameServer(connection_)) {
        return false;
    }
    // A kept-alive connection that the server has closed meanwhile, or that holds stray
    // bytes, would garble the next reply.
    char byte;
    return recv(fd_, &byte, 1, MSG_PEEK | MSG_DONTWAIT) < 0 &&
           (errno == EAGAIN || errno == EWOULDBLOCK);
}

void THttpCli::Connect() {
    CloseConnection();
    state_ = HttpState::DnsLookup;
    const Resolver::Result address = resolver_->Lookup(target_.host);
    state_ = HttpState::DnsLookupDone;
    if (!address.found) {
        Fail(404, "can't resolve hostname to IP address", address.error);
    }
    const std::uint16_t port = ParsePort(target_.port);
    if (port == 0) {
        Fail(404, "can't connect: " + ErrorText(EINVAL), EINVAL);
    }
    fd_ = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd_ < 0) {
        const int error = errno;
        Fail(404, "can't connect: " + ErrorText(error), error);
    }
    const int one = 1;
    setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(port);
    peer.sin_addr = address.address;
    state_ = HttpState::NotConnected;
    if (connect(fd_, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) != 0) {
        const int error = errno;
        if (error != EINPROGRESS) {
            Fail(404, "can't connect: " + ErrorText(error), error);
        }
        connecting_ = true;
        WaitFor(false);
        connecting_ = false;
        int result = 0;
        socklen_t length = sizeof result;
        getsockopt(fd_, SOL_SOCKET, SO_ERROR, &result, &length);
        if (result != 0) {
            Fail(404, ErrorText(result), result);
        }
    }
    connection_ = target_;
    state_ = HttpState::Connected;
    Progress();
}

std::string THttpCli::ComposeHeader() const {
    HttpRequestHeader header;
    header.post = post_;
    header.path = target_.path;
    header.version = requestVer_;
    header.accept = accept_;
    header.contentType = contentTypePost_;
    header.agent = agent_;
    header.host = target_.host;
    header.port = target_.port;
    header.noCache = noCache_;
    if (post_) {
        header.contentLength =
            requestBody_->size() - std::min(requestPosition_, requestBody_->size());
    }
    if (authBasicState_ == 1 && target_.SameServer(origin_)) {
        header.credentials = requestUser_ + ":" + requestPassword_;
    }
    return header.Compose();
}

void THttpCli::Send(const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t sent = send(fd_, data, size, MSG_NOSIGNAL);
        if (sent > 0) {
            data += sent;
            size -= static_cast<std::size_t>(sent);
            Progress();
        } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
            WaitFor(false);
        } else if (errno != EINTR) {
            const int error = errno;
            FailTransport(ErrorText(error), error);
        }
    }
}

void THttpCli::ReadReply() {
    state_ = HttpState::WaitingHeader;
    bool closed = false;
    bool leftover = false;
    while (parser_.CurrentPhase() == HttpReplyParser::Phase::Header ||
           parser_.CurrentPhase() == HttpReplyParser::Phase::Body) {
        const ssize_t got = recv(fd_, readBuffer_.data(), readBuffer_.size(), 0);
        if (got > 0) {
            Progress();
            const std::size_t size = static_cast<std::size_t>(got);
            try {
                leftover = parser_.Feed(std::string_view(readBuffer_.data(), size)) < size;
            } catch (const std::bad_alloc&) {
                Fail(404, "Reply too large: memory ran out holding it", ENOMEM);
            }
            CheckReplySize();
            if (parser_.Result().hasStatusLine) {
                replyStatus_ = parser_.Result().status;
                replyReason_ = parser_.Result().reason;
            }
            if (parser_.CurrentPhase() == HttpReplyParser::Phase::Body) {
                state_ = HttpState::WaitingBody;
            }
            if (!HoldsBody()) {
                PassToSink();
            }
            if (onProgress_ && parser_.BodyBytes() > 0) {
                onProgress_(parser_.BodyBytes(), parser_.Result().contentLength);
            }
        } else if (got == 0) {
            closed = true;
            parser_.FeedClose();
        } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
            WaitFor(true);
        } else if (errno != EINTR) {
            const int error = errno;
            FailTransport(ErrorText(error), error);
        }
    }
    if (parser_.CurrentPhase() == HttpReplyParser::Phase::Failed) {
        FailTransport(parser_.FailReason(), EPROTO);
    }
    replyStatus_ = parser_.Result().status;
    state_ = HttpState::BodyReceived;
    if (closed || leftover || parser_.Result().closeAfterReply) {
        state_ = HttpState::Closing;
        CloseConnection();
    }
}

// Waits for the socket, a second at most per wait, until it is ready, the request is aborted
// or it has made no progress for the idle time.
void THttpCli::WaitFor(bool readable) {
    for (;;) {
        if (abortRequested_) {
            state_ = HttpState::Aborting;
            Fail(404, "Connection aborted on request", kAbortedError);
        }
        const auto idle = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - lastProgress_);
        if (connecting_ && connectTimeout_.count() > 0 && idle >= connectTimeout_) {
            Fail(404,
                 "Connect timed out: no connection after " +
                     std::to_string(connectTimeout_.count()) + " ms",
                 ETIMEDOUT);
        }
        if (idle >= idleTimeout_) {
            Fail(404,
                 "Request timed out: nothing sent or received for " +
                     std::to_string(idleTimeout_.count()) + " ms",
                 ETIMEDOUT);
        }
        const std::chrono::milliseconds limit = connecting_ && connectTimeout_.count() > 0
                                                    ? std::min(connectTimeout_, idleTimeout_)
                                                    : idleTimeout_;
        const auto wait =
            std::min<std::chrono::milliseconds::rep>(kMaxWaitMs, (limit - idle).count());
        const bool ready =
            waiter_->Wait(fd_, readable ? Waiter::Direction::Readable : Waiter::Direction::Writable,
                          static_cast<int>(wait));
        if (ready && !abortRequested_) {
            return;
        }
    }
}

void THttpCli::Progress() {
    lastProgress_ = std::chrono::steady_clock::now();
}

void THttpCli::CheckReplySize() {
    std::uint64_t held = 0;
    if (parser_.CurrentPhase() == HttpReplyParser::Phase::Header) {
        held = parser_.Received();
    } else if (replyBody_ != nullptr) {
        held = replyBody_->size() - std::min(parser_.BodyStart(), replyBody_->size());
    }
    if (held > maxReplySize_) {
        Fail(404, "Reply too large: more than " + std::to_string(maxReplySize_) + " bytes", EFBIG);
    }
}

// What a reply that is not the result wrote into the reply body goes again.
void THttpCli::CutBackReplyBody() {
    if (replySink_) {
        sinkBuffer_.clear();
        return;
    }
    if (replyBody_ != nullptr && replyBody_->size() > parser_.BodyStart()) {
        replyBody_->resize(parser_.BodyStart());
    }
}

// The body of a reply that fails the request is not the caller's. Nor, until the request has
// ended, is that of a reply the client may answer itself by sending the request again: a
// relocation, or a Basic challenge not yet answered.
bool THttpCli::HoldsBody() const {
    if (Failing(replyStatus_)) {
        return true;
    }
    const HttpReplyParser::Reply& reply = parser_.Result();
    if (reply.hasLocation && followRelocation_) {
        return true;
    }
    return replyStatus_ == 401 && authBasicState_ == 0 && !requestUser_.empty() &&
           !requestPassword_.empty();
}

void THttpCli::PassToSink() {
    if (replySink_ && !sinkBuffer_.empty() && !Failing(replyStatus_)) {
        replySink_(sinkBuffer_);
        sinkBuffer_.clear();
    }
}

void THttpCli::CloseConnection() {
    if (fd_ >= 0) {
        close(fd_);
        fd_ = -1;
    }
    if (state_ != HttpState::Ready) {
        state_ = HttpState::NotConnected;
    }
}

void THttpCli::Done(HttpRequest kind, int error) {
    if (onRequestDone_) {
        onRequestDone_(kind, error);
    }
}

void THttpCli::FailTransport(const std::string& reason, int error) {
    if (retryOnNewConnection_ && parser_.Received() == 0) {
        retryOnNewConnection_ = false;
        CloseConnection();
        throw StaleConnection{};
    }
    Fail(404, reason, error);
}

void THttpCli::Fail(int status, const std::string& reason, int error) {
    failedIn_ = state_;
    connecting_ = false;
    CloseConnection();
    replyStatus_ = status;
    replyReason_ = reason;
    state_ = HttpState::Ready;
    Done(kind_, error);
    throw EHttpException(reason, status);
}

}  // namespace kv::agent

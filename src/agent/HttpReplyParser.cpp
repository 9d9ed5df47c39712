#include "agent/HttpReplyParser.h"

#include <algorithm>
#include <cctype>

#include "agent/HttpText.h"

namespace kv::agent {

namespace {

using http_text::EqualNoCase;
using http_text::Lower;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string Lowered(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), Lower);
    return out;
}

std::string_view Trimmed(std::string_view text) {
    const auto isSpace = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && isSpace(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isSpace(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

std::int64_t ParseContentLength(std::string_view value) {
    value = Trimmed(value);
    if (value.empty() || value.size() > 18 || !std::all_of(value.begin(), value.end(), IsDigit)) {
        return -1;
    }
    std::int64_t n = 0;
    for (char c : value) {
        n = n * 10 + (c - '0');
    }
    return n;
}

void SetConnection(HttpReplyParser::Reply& reply, std::string_view value) {
    const std::string token = Lowered(Trimmed(value));
    if (token == "close") {
        reply.closeAfterReply = true;
    } else if (token == "keep-alive") {
        reply.closeAfterReply = false;
    }
}

void AddChallenge(HttpReplyParser::Reply& reply, std::string_view value) {
    reply.challenges.emplace_back(value);
}

struct HeaderRule {
    std::string_view name;
    void (*apply)(HttpReplyParser::Reply&, std::string_view);
};

// The header names the reader acts on; any other line is only recorded.
constexpr HeaderRule kHeaderRules[] = {
    {"content-length", [](HttpReplyParser::Reply& r,
                          std::string_view v) { r.contentLength = ParseContentLength(v); }},
    {"transfer-encoding",
     [](HttpReplyParser::Reply& r, std::string_view v) { r.transferEncoding = Lowered(v); }},
    {"content-type",
     [](HttpReplyParser::Reply& r, std::string_view v) { r.contentType = Lowered(v); }},
    {"content-encoding",
     [](HttpReplyParser::Reply& r, std::string_view v) { r.contentEncoding = std::string(v); }},
    {"www-authenticate", AddChallenge},
    {"proxy-authenticate", AddChallenge},
    {"connection", SetConnection},
    {"proxy-connection", SetConnection},
    {"location",
     [](HttpReplyParser::Reply& r, std::string_view v) {
         r.hasLocation = true;
         r.location = std::string(v);
     }},
};

// Reserves the body buffer, in ordinary pages. Huge pages are not asked for: where the system
// compacts memory for them at the first touch (transparent huge pages on "madvise"), a
// process's first large download stalled to a third of its speed.
void Reserve(std::string& body, std::size_t capacity) {
    body.reserve(capacity);
}

bool HasNoBody(const HttpReplyParser::Reply& reply) {
    static constexpr int kBodilessWithoutLength[] = {204, 301, 302, 304, 401, 407};
    if (reply.contentLength == 0) {
        return true;
    }
    return reply.contentLength < 0 &&
           (reply.status < 200 ||
            std::find(std::begin(kBodilessWithoutLength), std::end(kBodilessWithoutLength),
                      reply.status) != std::end(kBodilessWithoutLength));
}

}  // namespace

void HttpReplyParser::Start(bool request10, std::string* body, bool reserve) {
    request10_ = request10;
    body_ = body;
    reserve_ = reserve;
    bodyStart_ = body != nullptr ? body->size() : 0;
    bodyBytes_ = 0;
    received_ = 0;
    headerSize_ = 0;
    ending_ = Ending::None;
    failReason_.clear();
    StartHeader();
}

void HttpReplyParser::StartHeader() {
    reply_ = Reply{};
    reply_.closeAfterReply = request10_;
    line_.clear();
    step_ = Step::FirstLine;
}

HttpReplyParser::Phase HttpReplyParser::CurrentPhase() const {
    switch (step_) {
        case Step::FirstLine:
        case Step::HeaderLine:
            return Phase::Header;
        case Step::Done:
            return Phase::Done;
        case Step::Failed:
            return Phase::Failed;
        default:
            return Phase::Body;
    }
}

bool HttpReplyParser::IsLineStep() const {
    return step_ == Step::FirstLine || step_ == Step::HeaderLine || step_ == Step::ChunkSize ||
           step_ == Step::ChunkDataEnd;
}

// A first line that starts with "<HTML>" (any case) means a reply without header: it is
// decided as soon as six bytes are there, since such a reply may never end its first line.
bool HttpReplyParser::IsHtmlStart(std::string_view input) const {
    static constexpr std::string_view kHtml = "<html>";
    std::string start = line_.substr(0, kHtml.size());
    start.append(input.substr(0, kHtml.size() - start.size()));
    return EqualNoCase(start, kHtml);
}

std::size_t HttpReplyParser::Feed(std::string_view bytes) {
    const std::size_t total = bytes.size();
    received_ += total;
    while (!bytes.empty() && (step_ != Step::Done && step_ != Step::Failed)) {
        if (IsLineStep()) {
            const std::size_t lf = bytes.find('\n');
            const std::size_t take = lf == std::string_view::npos ? bytes.size() : lf;
            if (step_ == Step::FirstLine && line_.size() + take >= 6 &&
                IsHtmlStart(bytes.substr(0, take))) {
                reply_.contentType = "text/html";
                step_ = Step::CloseBody;
                WriteBody(line_);
                line_.clear();
                continue;
            }
            const std::size_t lineSize =
                line_.size() + take + (lf == std::string_view::npos ? 0 : 1);
            if (lineSize > kLineBufferSize) {
                Fail("Reply line longer than the " + std::to_string(kLineBufferSize) +
                     "-byte buffer");
                break;
            }
            if (step_ == Step::FirstLine || step_ == Step::HeaderLine) {
                headerSize_ += take + (lf == std::string_view::npos ? 0 : 1);
                if (headerSize_ > kMaxHeaderSize) {
                    Fail("Reply header longer than " + std::to_string(kMaxHeaderSize) + " bytes");
                    break;
                }
            }
            line_.append(bytes.substr(0, take));
            if (lf == std::string_view::npos) {
                bytes = {};
                break;
            }
            bytes.remove_prefix(lf + 1);
            std::string line = std::move(line_);
            line_.clear();
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            TakeLine(line);
            continue;
        }
        const bool bounded = step_ != Step::CloseBody;
        const std::size_t take =
            bounded ? static_cast<std::size_t>(std::min<std::uint64_t>(remaining_, bytes.size()))
                    : bytes.size();
        WriteBody(bytes.substr(0, take));
        bytes.remove_prefix(take);
        if (bounded) {
            remaining_ -= take;
            if (remaining_ == 0) {
                if (step_ == Step::LengthBody) {
                    Finish(Ending::AtLength);
                } else {
                    step_ = Step::ChunkDataEnd;
                }
            }
        }
    }
    return total - bytes.size();
}

void HttpReplyParser::FeedClose() {
    switch (step_) {
        case Step::FirstLine:
            Fail(received_ == 0
                     ? "Connection closed by the server before any reply byte"
                     : "Connection closed by the server in the middle of the reply header");
            break;
        case Step::HeaderLine:
            Fail("Connection closed by the server in the middle of the reply header");
            break;
        case Step::CloseBody:
            Finish(Ending::AtClose);
            break;
        case Step::LengthBody:
            Fail("Connection closed by the server after " + std::to_string(bodyBytes_) + " of " +
                 std::to_string(reply_.contentLength) + " body bytes");
            break;
        case Step::ChunkSize:
        case Step::ChunkData:
        case Step::ChunkDataEnd:
            Fail("Connection closed by the server in the middle of a chunked body");
            break;
        case Step::Done:
        case Step::Failed:
            break;
    }
}

void HttpReplyParser::TakeLine(std::string_view line) {
    switch (step_) {
        case Step::FirstLine:
            reply_.lines.emplace_back(line);
            TakeStatusLine(line);
            break;
        case Step::HeaderLine:
            if (line.empty()) {
                EndHeader();
            } else {
                reply_.lines.emplace_back(line);
                TakeHeaderLine(line);
            }
            break;
        case Step::ChunkSize:
            TakeChunkSize(line);
            break;
        case Step::ChunkDataEnd:
            if (line.empty()) {
                step_ = Step::ChunkSize;
            } else {
                Fail("Chunk data not followed by a line end");
            }
            break;
        default:
            break;
    }
}

// "HTTP/1.x" then the code: the three characters from the first digit at or after the
// tenth character, so two spaces after the version do no harm; the reason starts four
// characters after the code.
void HttpReplyParser::TakeStatusLine(std::string_view line) {
    step_ = Step::HeaderLine;
    if (line.substr(0, 8) != "HTTP/1.0" && line.substr(0, 8) != "HTTP/1.1") {
        return;
    }
    const std::size_t code = line.find_first_of("0123456789", 9);
    if (code == std::string_view::npos || code + 3 > line.size() || !IsDigit(line[code + 1]) ||
        !IsDigit(line[code + 2])) {
        Fail("Reply status line holds no three-digit status code");
        return;
    }
    reply_.hasStatusLine = true;
    reply_.version = std::string(line.substr(5, 3));
    reply_.status = (line[code] - '0') * 100 + (line[code + 1] - '0') * 10 + (line[code + 2] - '0');
    reply_.reason = code + 4 <= line.size() ? std::string(line.substr(code + 4)) : std::string();
    if (request10_) {
        reply_.closeAfterReply = true;
    }
}

void HttpReplyParser::TakeHeaderLine(std::string_view line) {
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) {
        return;
    }
    const std::string_view name = line.substr(0, colon);
    std::string_view value = line.substr(colon + 1);
    while (!value.empty() && value.front() == ' ') {
        value.remove_prefix(1);
    }
    for (const HeaderRule& rule : kHeaderRules) {
        if (EqualNoCase(name, rule.name)) {
            rule.apply(reply_, value);
            return;
        }
    }
}

// A chunk line starts with the size in hexadecimal; what follows (extensions) is skipped.
void HttpReplyParser::TakeChunkSize(std::string_view line) {
    std::uint64_t size = 0;
    std::size_t digits = 0;
    for (; digits < line.size() && std::isxdigit(static_cast<unsigned char>(line[digits]));
         ++digits) {
        if (size > (UINT64_MAX >> 4)) {
            Fail("Chunk size too large");
            return;
        }
        const char c = Lower(line[digits]);
        size = size * 16 + static_cast<std::uint64_t>(IsDigit(c) ? c - '0' : c - 'a' + 10);
    }
    if (digits == 0) {
        Fail("Chunk line holds no hexadecimal size");
    } else if (size == 0) {
        Finish(Ending::AtLastChunk);
    } else {
        remaining_ = size;
        step_ = Step::ChunkData;
    }
}

void HttpReplyParser::EndHeader() {
    if (reply_.version == "1.1" && reply_.status == 100) {
        StartHeader();
        return;
    }
    if (HasNoBody(reply_)) {
        Finish(Ending::WithoutBody);
    } else if (Trimmed(reply_.transferEncoding) == "chunked") {
        step_ = Step::ChunkSize;
    } else if (reply_.contentLength > 0) {
        remaining_ = static_cast<std::uint64_t>(reply_.contentLength);
        step_ = Step::LengthBody;
        if (body_ != nullptr && reserve_) {
            Reserve(*body_, body_->size() + std::min(remaining_, kMaxReserveAhead));
        }
    } else {
        step_ = Step::CloseBody;
    }
}

void HttpReplyParser::WriteBody(std::string_view bytes) {
    bodyBytes_ += bytes.size();
    if (body_ == nullptr || bytes.empty()) {
        return;
    }
    // Grows by what the content length still promises, at most a step ahead of what has
    // arrived, instead of doubling.
    if (reserve_ && step_ == Step::LengthBody && body_->size() + bytes.size() > body_->capacity()) {
        const std::uint64_t arrived = body_->size() + bytes.size();
        Reserve(*body_, static_cast<std::size_t>(std::min(arrived + remaining_ - bytes.size(),
                                                          arrived + kMaxReserveAhead)));
    }
    body_->append(bytes);
}

void HttpReplyParser::Finish(Ending ending) {
    ending_ = ending;
    step_ = Step::Done;
}

void HttpReplyParser::Fail(std::string reason) {
    failReason_ = std::move(reason);
    step_ = Step::Failed;
}

}  // namespace kv::agent

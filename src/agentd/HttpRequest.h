#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kv::agentd {

// One request as the Agent received it. The target is kept byte for byte: the Manager
// sends Shift_JIS paths unescaped, spaces included.
struct HttpRequest {
    std::string method;
    std::string target;
    std::string version;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;

    // The value of the first header of that name (compared without regard to case).
    const std::string* Header(std::string_view name) const;
    // The target up to the first "?", and what follows it (empty when there is no "?").
    std::string_view Path() const;
    std::string_view Query() const;
    bool HasQuery() const;
};

struct HttpLimits {
    std::size_t maxHeaderBytes = 16 * 1024;
    std::size_t maxBodyBytes = 1024 * 1024;
};

// Reads one request from bytes as they arrive. Anything it cannot take ends in a failure
// with the status to answer: 400, 411, 413, 431, 501 or 505.
class HttpRequestParser {
public:
    enum class State { NeedMore, Complete, Failed };

    explicit HttpRequestParser(HttpLimits limits = {});

    State Feed(std::string_view bytes);
    State Current() const { return state_; }
    const HttpRequest& Request() const { return request_; }
    int ErrorStatus() const { return errorStatus_; }

private:
    State Fail(int status);
    State ParseHeader(std::string_view header);
    bool ParseRequestLine(std::string_view line);
    State TakeBody();

    HttpLimits limits_;
    State state_ = State::NeedMore;
    int errorStatus_ = 0;
    std::string buffer_;
    std::size_t scanned_ = 0;
    bool headerDone_ = false;
    std::size_t bodyLength_ = 0;
    HttpRequest request_;
};

}  // namespace kv::agentd

#include "agentd/HttpRequest.h"

#include <algorithm>
#include <charconv>
#include <cstdint>

namespace kv::agentd {
namespace {

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
               return lower(x) == lower(y);
           });
}

std::string_view Trim(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && blank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

bool IsTokenChar(char c) {
    const auto u = static_cast<unsigned char>(c);
    if (u <= 0x20 || u >= 0x7F) {
        return false;
    }
    return std::string_view("()<>@,;:\\\"/[]?={}").find(c) == std::string_view::npos;
}

bool IsDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string_view StripCr(std::string_view line) {
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    return line;
}

}  // namespace

const std::string* HttpRequest::Header(std::string_view name) const {
    for (const auto& [key, value] : headers) {
        if (EqualsNoCase(key, name)) {
            return &value;
        }
    }
    return nullptr;
}

std::string_view HttpRequest::Path() const {
    std::string_view t = target;
    return t.substr(0, t.find('?'));
}

std::string_view HttpRequest::Query() const {
    const auto mark = target.find('?');
    return mark == std::string::npos ? std::string_view()
                                     : std::string_view(target).substr(mark + 1);
}

bool HttpRequest::HasQuery() const {
    return target.find('?') != std::string::npos;
}

HttpRequestParser::HttpRequestParser(HttpLimits limits) : limits_(limits) {}

HttpRequestParser::State HttpRequestParser::Fail(int status) {
    errorStatus_ = status;
    state_ = State::Failed;
    buffer_.clear();
    return state_;
}

HttpRequestParser::State HttpRequestParser::Feed(std::string_view bytes) {
    if (state_ != State::NeedMore) {
        return state_;
    }
    buffer_.append(bytes);
    while (!headerDone_) {
        const auto newline = buffer_.find('\n', scanned_);
        if (newline == std::string::npos) {
            return buffer_.size() > limits_.maxHeaderBytes ? Fail(431) : state_;
        }
        if (newline >= limits_.maxHeaderBytes) {
            return Fail(431);
        }
        const std::string_view line =
            StripCr(std::string_view(buffer_).substr(scanned_, newline - scanned_));
        if (!line.empty()) {
            scanned_ = newline + 1;
            continue;
        }
        if (scanned_ == 0) {
            // Blank lines before the request line are tolerated and dropped.
            buffer_.erase(0, newline + 1);
            continue;
        }
        headerDone_ = true;
        const std::string header = buffer_.substr(0, scanned_);
        buffer_.erase(0, newline + 1);
        if (ParseHeader(header) == State::Failed) {
            return state_;
        }
    }
    return TakeBody();
}

HttpRequestParser::State HttpRequestParser::ParseHeader(std::string_view header) {
    bool first = true;
    while (!header.empty()) {
        const auto newline = header.find('\n');
        const std::string_view line = StripCr(header.substr(0, newline));
        header.remove_prefix(newline == std::string_view::npos ? header.size() : newline + 1);
        if (first) {
            first = false;
            if (!ParseRequestLine(line)) {
                return state_ == State::Failed ? state_ : Fail(400);
            }
            continue;
        }
        const auto colon = line.find(':');
        if (colon == std::string_view::npos || colon == 0) {
            return Fail(400);
        }
        const std::string_view name = line.substr(0, colon);
        if (!std::all_of(name.begin(), name.end(), IsTokenChar)) {
            return Fail(400);
        }
        request_.headers.emplace_back(std::string(name), std::string(Trim(line.substr(colon + 1))));
    }
    if (request_.Header("Transfer-Encoding") != nullptr) {
        return Fail(501);
    }
    const std::string* length = nullptr;
    for (const auto& [key, value] : request_.headers) {
        if (!EqualsNoCase(key, "Content-Length")) {
            continue;
        }
        if (length != nullptr && *length != value) {
            return Fail(400);
        }
        length = &value;
    }
    if (length == nullptr) {
        return request_.method == "POST" ? Fail(411) : state_;
    }
    if (!IsDigits(*length)) {
        return Fail(400);
    }
    std::uint64_t value = 0;
    const auto [end, error] =
        std::from_chars(length->data(), length->data() + length->size(), value);
    if (error != std::errc() || value > limits_.maxBodyBytes) {
        return Fail(413);
    }
    bodyLength_ = static_cast<std::size_t>(value);
    return state_;
}

bool HttpRequestParser::ParseRequestLine(std::string_view line) {
    const auto firstSpace = line.find(' ');
    const auto lastSpace = line.rfind(' ');
    if (firstSpace == std::string_view::npos || firstSpace == lastSpace) {
        return false;
    }
    const std::string_view method = line.substr(0, firstSpace);
    const std::string_view target = line.substr(firstSpace + 1, lastSpace - firstSpace - 1);
    const std::string_view version = line.substr(lastSpace + 1);
    if (method.empty() ||
        !std::all_of(method.begin(), method.end(), [](char c) { return c >= 'A' && c <= 'Z'; })) {
        return false;
    }
    if (target.empty() || target.front() != '/' ||
        std::any_of(target.begin(), target.end(), [](char c) {
            const auto u = static_cast<unsigned char>(c);
            return u < 0x20 || u == 0x7F;
        })) {
        return false;
    }
    if (version.substr(0, 5) != "HTTP/") {
        return false;
    }
    const std::string_view number = version.substr(5);
    const auto dot = number.find('.');
    if (dot == std::string_view::npos || !IsDigits(number.substr(0, dot)) ||
        !IsDigits(number.substr(dot + 1))) {
        return false;
    }
    if (number.substr(0, dot) != "1") {
        Fail(505);
        return false;
    }
    request_.method = std::string(method);
    request_.target = std::string(target);
    request_.version = std::string(version);
    return true;
}

HttpRequestParser::State HttpRequestParser::TakeBody() {
    if (buffer_.size() < bodyLength_) {
        return state_;
    }
    request_.body = buffer_.substr(0, bodyLength_);
    buffer_.clear();
    state_ = State::Complete;
    return state_;
}

}  // namespace kv::agentd

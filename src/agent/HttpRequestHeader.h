#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace kv::agent {

// The header block of one request, composed byte for byte: request line, then Accept,
// Content-Type, User-Agent, Host, Pragma, Content-Length and Authorization, each only when
// it applies, every line ending in CR LF, then an empty line.
struct HttpRequestHeader {
    bool post = false;
    std::string path;
    std::string version;
    std::string accept;       // left out when empty
    std::string contentType;  // POST only; left out when empty
    std::string agent;        // left out when empty
    std::string host;
    std::string port;  // left out of the Host line when "80" or empty
    bool noCache = false;
    std::size_t contentLength = 0;           // POST only
    std::optional<std::string> credentials;  // user + ":" + password, sent as Basic

    std::string Compose() const;
};

}  // namespace kv::agent

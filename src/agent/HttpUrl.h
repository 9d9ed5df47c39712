#pragma once

#include <string>
#include <string_view>

namespace kv::agent {

// A request target split into its parts. Texts are kept byte for byte: the path goes into
// the request line without escaping.
struct HttpUrl {
    std::string protocol;  // as written; "http" when the URL names none
    std::string host;
    std::string port;  // text; "80" when absent
    std::string path;  // from the first "/" after host and port, query included; "/" when absent

    static HttpUrl Split(std::string_view url);

    // The target named by a Location value, relative to this one: "/..." replaces the path,
    // "http://..." or "https://..." (any case) is a full URL, anything else is appended to
    // this path cut after its last "/" or ":" before any "?".
    HttpUrl Relocated(std::string_view location) const;

    // Protocol, host and port equal (protocol without regard to case).
    bool SameServer(const HttpUrl& other) const;
};

}  // namespace kv::agent

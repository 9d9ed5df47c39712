#include "agent/HttpUrl.h"

#include <algorithm>

#include "agent/HttpText.h"

namespace kv::agent {

using http_text::EqualNoCase;
using http_text::StartsWithNoCase;

HttpUrl HttpUrl::Split(std::string_view url) {
    HttpUrl parts;
    parts.protocol = "http";
    const std::size_t scheme = url.find("://");
    if (scheme != std::string_view::npos) {
        parts.protocol = std::string(url.substr(0, scheme));
        url.remove_prefix(scheme + 3);
    }
    const std::size_t slash = std::min(url.find('/'), url.size());
    const std::string_view hostPort = url.substr(0, slash);
    const std::size_t colon = hostPort.find(':');
    parts.host = std::string(hostPort.substr(0, colon));
    if (colon != std::string_view::npos) {
        parts.port = std::string(hostPort.substr(colon + 1));
    }
    if (parts.port.empty()) {
        parts.port = "80";
    }
    // One assignment: a literal assigned after the moved-in text trips GCC 12's false
    // -Wrestrict at -O3.
    const std::string_view path = url.substr(slash);
    parts.path = path.empty() ? std::string("/") : std::string(path);
    return parts;
}

HttpUrl HttpUrl::Relocated(std::string_view location) const {
    if (StartsWithNoCase(location, "http://") || StartsWithNoCase(location, "https://")) {
        return Split(location);
    }
    HttpUrl target = *this;
    if (!location.empty() && location.front() == '/') {
        target.path = std::string(location);
        return target;
    }
    const std::string_view beforeQuery = std::string_view(path).substr(0, path.find('?'));
    const std::size_t cut = beforeQuery.find_last_of("/:");
    target.path = std::string(beforeQuery.substr(0, cut == std::string_view::npos ? 0 : cut + 1));
    target.path += location;
    return target;
}

bool HttpUrl::SameServer(const HttpUrl& other) const {
    return EqualNoCase(protocol, other.protocol) && host == other.host && port == other.port;
}

}  // namespace kv::agent

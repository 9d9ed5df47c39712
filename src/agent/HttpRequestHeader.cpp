#include "agent/HttpRequestHeader.h"

#include "agent/Base64.h"

namespace kv::agent {

std::string HttpRequestHeader::Compose() const {
    std::string header = (post ? "POST " : "GET ") + path + " HTTP/" + version + "\r\n";
    if (!accept.empty()) {
        header += "Accept: " + accept + "\r\n";
    }
    if (post && !contentType.empty()) {
        header += "Content-Type: " + contentType + "\r\n";
    }
    if (!agent.empty()) {
        header += "User-Agent: " + agent + "\r\n";
    }
    header += "Host: " + host;
    if (!port.empty() && port != "80") {
        header += ":" + port;
    }
    header += "\r\n";
    if (noCache) {
        header += "Pragma: no-cache\r\n";
    }
    if (post) {
        header += "Content-Length: " + std::to_string(contentLength) + "\r\n";
    }
    if (credentials) {
        header += "Authorization: Basic " + Base64Encode(*credentials) + "\r\n";
    }
    header += "\r\n";
    return header;
}

}  // namespace kv::agent

#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "agentd/UniqueFd.h"

namespace kv::agentd {

// One HTTP/1.0 reply. The body is either held in memory or streamed from an open file
// of a known size, so that large files and listings need not be copied whole.
struct HttpResponse {
    int status = 200;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    UniqueFd file;
    std::uint64_t fileSize = 0;
    // Held back this long before it is sent, without holding up other clients.
    std::chrono::milliseconds delay{0};
    // Slow work (a walk of a large tree) done on a thread of its own; its result is the
    // reply sent instead of this one. It must not touch what the loop's callbacks change.
    std::function<HttpResponse()> later;

    static HttpResponse Text(int status, std::string body);
    // A short text reply naming the status, for errors.
    static HttpResponse Status(int status);

    std::uint64_t BodySize() const { return file.Valid() ? fileSize : body.size(); }
    // Status line, the headers, Content-Length, "Connection: close" and the empty line.
    std::string HeaderBlock() const;
};

std::string_view ReasonPhrase(int status);

}  // namespace kv::agentd

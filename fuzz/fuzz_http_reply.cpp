// Feeds arbitrary bytes as a reply to the HTTP reply reader, in pieces, and checks that it
// never takes more than it is given, stops taking only once the reply has ended or failed,
// and writes exactly the body bytes it counts. The first byte chooses the piece size, the
// request version and whether the connection closes at the end; the rest is the reply.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "agent/HttpReplyParser.h"

using namespace kv::agent;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    const std::size_t piece = (data[0] & 0x3f) == 0x3f ? size : (data[0] & 0x3f) + 1u;
    const bool request10 = (data[0] & 0x40) != 0;
    const bool close = (data[0] & 0x80) != 0;
    std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);

    using Phase = kv::agent::HttpReplyParser::Phase;
    kv::agent::HttpReplyParser parser;
    std::string body;
    parser.Start(request10, &body);
    while (!bytes.empty() &&
           (parser.CurrentPhase() == Phase::Header || parser.CurrentPhase() == Phase::Body)) {
        const std::string_view part = bytes.substr(0, piece);
        const std::size_t used = parser.Feed(part);
        const Phase phase = parser.CurrentPhase();
        if (used > part.size() ||
            (used < part.size() && phase != Phase::Done && phase != Phase::Failed)) {
            __builtin_trap();
        }
        bytes.remove_prefix(part.size());
    }
    if (close) {
        parser.FeedClose();
    }
    const kv::agent::HttpReplyParser::Reply& reply = parser.Result();
    if (body.size() != parser.BodyBytes() ||
        (parser.HowEnded() == kv::agent::HttpReplyParser::Ending::AtLength &&
         static_cast<std::int64_t>(body.size()) != reply.contentLength) ||
        (parser.CurrentPhase() == Phase::Failed) == parser.FailReason().empty()) {
        __builtin_trap();
    }
    return 0;
}

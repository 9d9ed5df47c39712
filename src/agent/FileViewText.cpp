#include "agent/FileViewText.h"

#include "text/JapaneseConversion.h"

namespace kv::agent {

std::string PrepareFileViewText(std::string_view reply) {
    std::string joined;
    joined.reserve(reply.size() + reply.size() / 16 + 2);
    const char* p = reply.data();
    const char* const end = p + reply.size();
    const char* lineStart = p;
    for (; p != end && *p != '\0'; ++p) {
        if (*p != '\r' && *p != '\n') {
            continue;
        }
        joined.append(lineStart, p).append("\r\n");
        if (*p == '\r' && p + 1 != end && p[1] == '\n') {
            ++p;
        }
        lineStart = p + 1;
    }
    if (lineStart != p) {
        joined.append(lineStart, p).append("\r\n");
    }
    std::string text;
    text::EucToSjis(joined, text);
    return text;
}

}  // namespace kv::agent

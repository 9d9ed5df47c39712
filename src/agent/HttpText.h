#pragma once

#include <algorithm>
#include <cctype>
#include <string_view>

namespace kv::agent::http_text {

// Header names, schemes and challenges compare without regard to ASCII case.
inline char Lower(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

inline bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(),
                      [](char a, char b) { return Lower(a) == Lower(b); });
}

inline bool EqualNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && StartsWithNoCase(a, b);
}

}  // namespace kv::agent::http_text

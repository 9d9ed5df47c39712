#include "agentd/BasicAuth.h"

#include <cstddef>
#include <utility>

namespace kv::agentd {
namespace {

int Base64Value(char c) {
    if (c >= 'A' && c <= 'Z') {
        return c - 'A';
    }
    if (c >= 'a' && c <= 'z') {
        return c - 'a' + 26;
    }
    if (c >= '0' && c <= '9') {
        return c - '0' + 52;
    }
    if (c == '+') {
        return 62;
    }
    if (c == '/') {
        return 63;
    }
    return -1;
}

// Compares without stopping at the first difference, so the time taken does not tell
// how much of a guessed password was right.
bool SameBytes(std::string_view a, std::string_view b) {
    unsigned difference = a.size() == b.size() ? 0U : 1U;
    for (std::size_t i = 0; i < a.size(); ++i) {
        difference |= static_cast<unsigned char>(a[i]) ^
                      static_cast<unsigned char>(i < b.size() ? b[i] : a[i] ^ 0xFF);
    }
    return difference == 0;
}

}  // namespace

std::optional<std::string> DecodeBase64(std::string_view text) {
    if (text.size() % 4 != 0) {
        return std::nullopt;
    }
    std::string out;
    out.reserve(text.size() / 4 * 3);
    for (std::size_t i = 0; i < text.size(); i += 4) {
        const bool last = i + 4 == text.size();
        const int padding = last ? (text[i + 3] == '=') + (text[i + 2] == '=') : 0;
        if (padding == 1 && text[i + 2] == '=') {
            return std::nullopt;
        }
        unsigned group = 0;
        for (int k = 0; k < 4 - padding; ++k) {
            const int value = Base64Value(text[i + k]);
            if (value < 0) {
                return std::nullopt;
            }
            group = group << 6 | static_cast<unsigned>(value);
        }
        group <<= 6 * padding;
        out += static_cast<char>(group >> 16 & 0xFF);
        if (padding < 2) {
            out += static_cast<char>(group >> 8 & 0xFF);
        }
        if (padding < 1) {
            out += static_cast<char>(group & 0xFF);
        }
    }
    return out;
}

BasicAuth::BasicAuth(std::string user, std::string password, std::string realm)
    : expected_(std::move(user) + ":" + std::move(password)), realm_(std::move(realm)) {}

bool BasicAuth::Accepts(const std::string* authorization) const {
    if (authorization == nullptr) {
        return false;
    }
    std::string_view value = *authorization;
    const auto space = value.find(' ');
    if (space == std::string_view::npos) {
        return false;
    }
    std::string_view scheme = value.substr(0, space);
    std::string lowered(scheme);
    for (char& c : lowered) {
        c = c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
    }
    if (lowered != "basic") {
        return false;
    }
    value.remove_prefix(space);
    while (!value.empty() && value.front() == ' ') {
        value.remove_prefix(1);
    }
    const auto credentials = DecodeBase64(value);
    return credentials && SameBytes(*credentials, expected_);
}

std::string BasicAuth::Challenge() const {
    return "Basic realm=\"" + realm_ + "\"";
}

}  // namespace kv::agentd

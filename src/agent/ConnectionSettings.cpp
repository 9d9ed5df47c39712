#include "agent/ConnectionSettings.h"

#include <charconv>
#include <optional>

#include "text/Cp932.h"

namespace kv::agent {

namespace {

std::string_view Trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// The whole text as a decimal number of digits only; nullopt otherwise (also for a sign,
// which the port editor cannot produce).
std::optional<long> WholeNumber(std::string_view digits) {
    if (digits.empty() || digits.front() < '0' || digits.front() > '9') {
        return std::nullopt;
    }
    long value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc() || end != digits.data() + digits.size()) {
        return std::nullopt;
    }
    return value;
}

bool Assign(std::string& target, std::string_view text) {
    if (target == text) {
        return false;
    }
    target.assign(text);
    return true;
}

}  // namespace

const std::string& ConnectionSettings::PortRangeMessage() {
    static const std::string message = text::Sjis("ポートの指定範囲は1024-65534です。");
    return message;
}

bool ConnectionSettings::SetUser(std::string_view text) {
    return Assign(user_, text);
}

bool ConnectionSettings::SetPassword(std::string_view text) {
    return Assign(password_, text);
}

ConnectionSettings::PortResult ConnectionSettings::SetPort(std::string_view text) {
    if (text == portText_) {
        return PortResult::Unchanged;
    }
    const std::string_view digits = Trimmed(text);
    const std::optional<long> port = WholeNumber(digits);
    if (!port || *port < kMinPort || *port > kMaxPort) {
        return PortResult::Refused;
    }
    portText_.assign(text);
    // Spaces the editor may pad with would break every URL.
    agentPort_.assign(digits);
    return PortResult::Accepted;
}

}  // namespace kv::agent

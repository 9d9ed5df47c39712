#pragma once

#include <string>
#include <string_view>

namespace kv {

// The three connection items (user, password, port) and the Agent port derived from them.
// Never stored: every start begins with the defaults.
class ConnectionSettings {
public:
    static constexpr int kMinPort = 1024;
    static constexpr int kMaxPort = 65534;

    const std::string& User() const { return user_; }
    const std::string& Password() const { return password_; }
    // Text of the Port item as shown.
    const std::string& PortText() const { return portText_; }
    // The port that goes into every URL and the discovery destination: the accepted
    // text without surrounding spaces.
    const std::string& AgentPort() const { return agentPort_; }

    // False when the text is the same as before (nothing happens).
    bool SetUser(std::string_view text);
    bool SetPassword(std::string_view text);

    enum class PortResult { Unchanged, Accepted, Refused };
    // A port outside 1024..65534, or a text that is not a whole number, is refused and
    // the item keeps its old text.
    PortResult SetPort(std::string_view text);

private:
    std::string user_ = "root";
    std::string password_ = "plumtree";
    std::string portText_ = "4009";
    std::string agentPort_ = "4009";
};

}  // namespace kv

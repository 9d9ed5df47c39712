#pragma once

#include <string>
#include <string_view>

namespace kv::agent {

// The user name, password and port with which the Manager talks to every Agent. Never
// stored: every start begins with the defaults. The port rule lives here so that the
// window and the command line refuse the same texts with the same message.
class ConnectionSettings {
public:
    static constexpr int kMinPort = 1024;
    static constexpr int kMaxPort = 65534;

    // "ポートの指定範囲は1024-65534です。" (Shift_JIS)
    static const std::string& PortRangeMessage();

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
    // A port outside 1024..65534, or a text that is not a whole decimal number (spaces
    // around it aside), is refused with PortRangeMessage() and the old text stays.
    PortResult SetPort(std::string_view text);

private:
    std::string user_ = "root";
    std::string password_ = "plumtree";
    std::string portText_ = "4009";
    std::string agentPort_ = "4009";
};

}  // namespace kv::agent

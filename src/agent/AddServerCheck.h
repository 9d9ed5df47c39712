#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace kv::store {
class ServerList;
}

namespace kv::agent {

class AgentRequests;

// The OK of the add-server dialog without the dialog: the address rules, then the
// connection test (GetTree.cgi, and GetWatchSetting.cgi only when the tree came), then the
// new server entry with both replies. A refused address, a failed test or a full table
// leaves the server list as it was.
class AddServerCheck {
public:
    enum class Outcome { InvalidAddress, TableFull, NoAnswer, BadName, Added };

    struct Result {
        Outcome outcome = Outcome::InvalidAddress;
        std::string Message;               // Shift_JIS; empty when added
        std::optional<std::size_t> Index;  // the new entry, the last one, when added
    };

    // "不正なIPアドレスです。"
    static const std::string& InvalidAddressMessage();
    // "リモートサーバと通信できませんでした。"
    static const std::string& NoAnswerMessage();
    static const std::string& TableFullMessage();
    // The Agent's server name holds a control byte or a double quote, which Server.csv
    // and the setting text cannot carry.
    static const std::string& BadNameMessage();
    // Neither control bytes nor double quotes: what discovery and the dialog accept.
    static bool CarriableServerName(std::string_view name);

    // Four address fields as the masked fields hold them ("_" and spaces are unfilled
    // places) -> their values joined by ".", exactly as typed, leading zeros kept. Nothing
    // when a field has no digit, more than three, or anything but digits and blanks.
    static std::optional<std::string> ComposeAddress(const std::array<std::string_view, 4>& fields);
    // A dotted address typed in one piece (digits and dots only), split into its four
    // fields and composed as above.
    static std::optional<std::string> ParseAddress(std::string_view dotted);

    // The two fetches of the connection test: the request layer's, or the window's port.
    struct Fetchers {
        std::function<bool(std::string_view address, std::string& target)> FetchTree;
        std::function<bool(std::string_view address, std::string& target)> FetchWatchSetting;
        // The server name the setting reply carries (the settings layer parses it); none
        // given: no name is checked.
        std::function<std::string(std::string_view settingText)> ServerNameOf;
    };

    AddServerCheck(AgentRequests& requests, store::ServerList& servers);
    AddServerCheck(Fetchers fetchers, store::ServerList& servers);

    // ComposeAddress, then TryAddress.
    Result Try(const std::array<std::string_view, 4>& fields);
    // The connection test of a composed address and, when both replies came, the new entry.
    Result TryAddress(std::string_view address);

private:
    Fetchers fetchers_;
    store::ServerList& servers_;
};

}  // namespace kv::agent

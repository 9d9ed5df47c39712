#include "agent/AddServerCheck.h"

#include <algorithm>
#include <utility>

#include "agent/AgentRequests.h"
#include "store/ServerList.h"
#include "text/Cp932.h"

namespace kv::agent {

namespace {

constexpr std::size_t kMaxFieldDigits = 3;

// The digits of one masked field; nothing when it holds something else or too many.
std::optional<std::string> FieldValue(std::string_view field) {
    std::string digits;
    for (const char c : field) {
        if (c >= '0' && c <= '9') {
            digits.push_back(c);
        } else if (c != '_' && c != ' ') {
            return std::nullopt;
        }
    }
    if (digits.empty() || digits.size() > kMaxFieldDigits) {
        return std::nullopt;
    }
    return digits;
}

}  // namespace

const std::string& AddServerCheck::InvalidAddressMessage() {
    static const std::string message = text::Sjis("不正なIPアドレスです。");
    return message;
}

const std::string& AddServerCheck::NoAnswerMessage() {
    static const std::string message = text::Sjis("リモートサーバと通信できませんでした。");
    return message;
}

const std::string& AddServerCheck::TableFullMessage() {
    static const std::string message =
        text::Sjis("サーバ一覧が一杯のため、これ以上サーバを追加できません。");
    return message;
}

const std::string& AddServerCheck::BadNameMessage() {
    static const std::string message = text::Sjis(
        "サーバ名に制御文字またはダブルクォーテーション（\"）が含まれているため、"
        "追加できません。");
    return message;
}

bool AddServerCheck::CarriableServerName(std::string_view name) {
    return std::none_of(name.begin(), name.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7F || c == '"';
    });
}

std::optional<std::string> AddServerCheck::ComposeAddress(
    const std::array<std::string_view, 4>& fields) {
    std::string address;
    for (const std::string_view field : fields) {
        const std::optional<std::string> value = FieldValue(field);
        if (!value) {
            return std::nullopt;
        }
        if (!address.empty()) {
            address.push_back('.');
        }
        address += *value;
    }
    return address;
}

std::optional<std::string> AddServerCheck::ParseAddress(std::string_view dotted) {
    // Typed in one piece, an address has no unfilled places.
    if (dotted.find_first_not_of("0123456789.") != std::string_view::npos) {
        return std::nullopt;
    }
    std::array<std::string_view, 4> fields;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const std::size_t dot = dotted.find('.');
        const bool last = i + 1 == fields.size();
        if ((dot == std::string_view::npos) != last) {
            return std::nullopt;
        }
        fields[i] = dotted.substr(0, dot);
        dotted.remove_prefix(last ? dotted.size() : dot + 1);
    }
    return ComposeAddress(fields);
}

AddServerCheck::AddServerCheck(AgentRequests& requests, store::ServerList& servers)
    : AddServerCheck(Fetchers{[&requests](std::string_view address, std::string& target) {
                                  return requests.FetchTree(address, target);
                              },
                              [&requests](std::string_view address, std::string& target) {
                                  return requests.FetchWatchSetting(address, target);
                              },
                              {}},
                     servers) {}

AddServerCheck::AddServerCheck(Fetchers fetchers, store::ServerList& servers)
    : fetchers_(std::move(fetchers)), servers_(servers) {}

AddServerCheck::Result AddServerCheck::Try(const std::array<std::string_view, 4>& fields) {
    const std::optional<std::string> address = ComposeAddress(fields);
    if (!address) {
        return {Outcome::InvalidAddress, InvalidAddressMessage(), std::nullopt};
    }
    return TryAddress(*address);
}

AddServerCheck::Result AddServerCheck::TryAddress(std::string_view address) {
    // Asking an Agent whose answers could not be kept would only cost the user a wait.
    if (servers_.IsFull()) {
        return {Outcome::TableFull, TableFullMessage(), std::nullopt};
    }
    std::string tree;
    std::string setting;
    if (!fetchers_.FetchTree(address, tree) || !fetchers_.FetchWatchSetting(address, setting)) {
        return {Outcome::NoAnswer, NoAnswerMessage(), std::nullopt};
    }
    if (fetchers_.ServerNameOf && !CarriableServerName(fetchers_.ServerNameOf(setting))) {
        return {Outcome::BadName, BadNameMessage(), std::nullopt};
    }
    return {Outcome::Added, {}, servers_.AddFetched(address, tree, setting)};
}

}  // namespace kv::agent

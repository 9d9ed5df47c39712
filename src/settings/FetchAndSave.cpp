#include "settings/FetchAndSave.h"

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <utility>

#include "agent/AgentRequests.h"
#include "settings/WatchSetting.h"
#include "store/ServerList.h"
#include "text/Cp932.h"

namespace kv::settings {

namespace {

const std::string& AgentHint() {
    static const std::string hint =
        text::Sjis("リモートサーバでKestrelviewエージェントが起動しているか確認してください。");
    return hint;
}

// The upload body is CR LF terminated lines; the request layer adds the CR LF again.
std::vector<std::string> BodyLines(std::string_view body) {
    std::vector<std::string> lines;
    while (!body.empty()) {
        const std::size_t end = body.find("\r\n");
        lines.emplace_back(body.substr(0, end));
        body.remove_prefix(end == std::string_view::npos ? body.size() : end + 2);
    }
    return lines;
}

}  // namespace

FetchAndSave::Requests FetchAndSave::Requests::Over(agent::AgentRequests& requests) {
    return {[&requests](std::string_view address, std::string& target) {
                return requests.FetchWatchSetting(address, target);
            },
            [&requests](std::string_view address, const std::vector<std::string>& lines) {
                return requests.SendWatchSetting(address, lines);
            }};
}

const std::string& FetchAndSave::CommunicationFailedMessage() {
    static const std::string message =
        text::Sjis("リモートサーバとの通信に失敗しました。") + "\r\n" + AgentHint();
    return message;
}

std::string FetchAndSave::UploadFailedMessage(std::string_view address) {
    return std::string(address) + text::Sjis(" サーバとの通信に失敗しました。") + "\r\n" +
           AgentHint();
}

std::string FetchAndSave::FetchAllFailedMessage(std::string_view address) {
    return text::Sjis("リモートサーバ") + std::string(address) +
           text::Sjis("との通信に失敗しました。") + "\r\n" + AgentHint();
}

std::string FetchAndSave::NotFetchedMessage(std::string_view address) {
    return std::string(address) +
           text::Sjis(" サーバの設定情報が取得されていないため、保存しませんでした。");
}

FetchAndSave::FetchAndSave(store::ServerList& servers, Requests requests, Reporter report)
    : servers_(servers), requests_(std::move(requests)), report_(std::move(report)) {}

void FetchAndSave::Tell(std::size_t index, Outcome outcome, std::string message) {
    if (report_) {
        report_({index, outcome, std::move(message)});
    }
}

void FetchAndSave::RequireServer(std::size_t index) {
    // Its address "DefaultSetting" would go out as a host name to look up.
    if (index == 0) {
        throw std::invalid_argument("entry 0 is the default setting, not a server");
    }
}

FetchAndSave::Outcome FetchAndSave::UploadWatchSetting(std::size_t index) {
    RequireServer(index);
    const store::TServerTree& entry = servers_.Entry(index);
    // Copies: the post waits, and the entry may move or go meanwhile.
    const std::string address = entry.IPAddress;
    const std::uint64_t key = entry.Key;
    const std::string body = BuildUploadBody(entry.SettingText, entry.ServerName);
    if (body.empty()) {
        Tell(index, Outcome::NotFetched, NotFetchedMessage(address));
        return Outcome::NotFetched;
    }
    const bool sent = requests_.SendWatchSetting(address, BodyLines(body));
    const std::size_t now = servers_.IndexOfKey(key).value_or(index);
    if (!sent) {
        Tell(now, Outcome::UploadFailed, UploadFailedMessage(address));
        return Outcome::UploadFailed;
    }
    Tell(now, Outcome::Uploaded, {});
    return Outcome::Uploaded;
}

std::optional<std::size_t> FetchAndSave::Fetch(std::size_t index) {
    store::TServerTree& entry = servers_.Entry(index);
    entry.SettingText.clear();
    const std::string address = entry.IPAddress;
    const std::uint64_t key = entry.Key;
    std::string reply;
    const bool fetched = requests_.FetchWatchSetting(address, reply);
    const std::optional<std::size_t> now = servers_.IndexOfKey(key);
    if (fetched && now) {
        store::TServerTree& again = servers_.Entry(*now);
        again.SettingText = std::move(reply);
        again.CachedLog.reset();
    }
    return fetched ? now : std::nullopt;
}

bool FetchAndSave::FetchWatchSetting(std::size_t index) {
    RequireServer(index);
    const std::uint64_t key = servers_.Entry(index).Key;
    if (const auto now = Fetch(index)) {
        Tell(*now, Outcome::Fetched, {});
        return true;
    }
    if (const auto now = servers_.IndexOfKey(key)) {
        Tell(*now, Outcome::FetchFailed, CommunicationFailedMessage());
    }
    return false;
}

void FetchAndSave::FetchAll() {
    for (const std::uint64_t key : ServerKeys()) {
        const auto index = servers_.IndexOfKey(key);
        if (!index) {
            continue;
        }
        const std::string address = servers_.Entry(*index).IPAddress;
        if (const auto now = Fetch(*index)) {
            Tell(*now, Outcome::Fetched, {});
        } else if (const auto still = servers_.IndexOfKey(key)) {
            Tell(*still, Outcome::FetchFailed, FetchAllFailedMessage(address));
        }
    }
}

void FetchAndSave::SaveAll(const LoadedFlag& loaded, const SaveDefault& saveDefault) {
    SaveWalk(Walk::Save, loaded, saveDefault);
}

void FetchAndSave::Distribute(const LoadedFlag& loaded, const SaveDefault& saveDefault) {
    SaveWalk(Walk::Distribute, loaded, saveDefault);
}

std::vector<std::uint64_t> FetchAndSave::ServerKeys() const {
    std::vector<std::uint64_t> keys = servers_.Keys();
    if (!keys.empty()) {
        keys.erase(keys.begin());
    }
    return keys;
}

void FetchAndSave::SaveWalk(Walk walk, const LoadedFlag& loaded, const SaveDefault& saveDefault) {
    if (servers_.Count() == 0) {
        return;
    }
    saveDefault(servers_.Entry(0).SettingText);
    // The servers of the start, each looked up again after every wait: one deleted
    // meanwhile is passed over, and no other takes its turn or its blame.
    for (const std::uint64_t key : ServerKeys()) {
        const auto index = servers_.IndexOfKey(key);
        if (!index) {
            continue;
        }
        if (!loaded(*index)) {
            Tell(*index, Outcome::Skipped, {});
            continue;
        }
        if (walk == Walk::Distribute) {
            store::TServerTree& entry = servers_.Entry(*index);
            entry.SettingText = WithServerName(servers_.Entry(0).SettingText, entry.ServerName);
        }
        UploadWatchSetting(*index);
    }
}

}  // namespace kv::settings

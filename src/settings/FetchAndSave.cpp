#include "settings/FetchAndSave.h"

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
    const std::string body = BuildUploadBody(entry.SettingText, entry.ServerName);
    if (body.empty()) {
        Tell(index, Outcome::NotFetched, NotFetchedMessage(entry.IPAddress));
        return Outcome::NotFetched;
    }
    if (!requests_.SendWatchSetting(entry.IPAddress, BodyLines(body))) {
        Tell(index, Outcome::UploadFailed, UploadFailedMessage(entry.IPAddress));
        return Outcome::UploadFailed;
    }
    Tell(index, Outcome::Uploaded, {});
    return Outcome::Uploaded;
}

bool FetchAndSave::Fetch(std::size_t index) {
    store::TServerTree& entry = servers_.Entry(index);
    entry.SettingText.clear();
    if (!requests_.FetchWatchSetting(servers_.Addresses().at(index), entry.SettingText)) {
        return false;
    }
    entry.CachedLog.reset();
    return true;
}

bool FetchAndSave::FetchWatchSetting(std::size_t index) {
    RequireServer(index);
    if (!Fetch(index)) {
        Tell(index, Outcome::FetchFailed, CommunicationFailedMessage());
        return false;
    }
    Tell(index, Outcome::Fetched, {});
    return true;
}

void FetchAndSave::FetchAll() {
    for (std::size_t i = 1; i < servers_.Count(); ++i) {
        if (Fetch(i)) {
            Tell(i, Outcome::Fetched, {});
        } else {
            Tell(i, Outcome::FetchFailed, FetchAllFailedMessage(servers_.Addresses().at(i)));
        }
    }
}

void FetchAndSave::SaveAll(const LoadedFlag& loaded, const SaveDefault& saveDefault) {
    SaveWalk(Walk::Save, loaded, saveDefault);
}

void FetchAndSave::Distribute(const LoadedFlag& loaded, const SaveDefault& saveDefault) {
    SaveWalk(Walk::Distribute, loaded, saveDefault);
}

void FetchAndSave::SaveWalk(Walk walk, const LoadedFlag& loaded, const SaveDefault& saveDefault) {
    if (servers_.Count() == 0) {
        return;
    }
    saveDefault(servers_.Entry(0).SettingText);
    for (std::size_t i = 1; i < servers_.Count(); ++i) {
        if (!loaded(i)) {
            Tell(i, Outcome::Skipped, {});
            continue;
        }
        if (walk == Walk::Distribute) {
            servers_.Entry(i).SettingText = servers_.Entry(0).SettingText;
        }
        UploadWatchSetting(i);
    }
}

}  // namespace kv::settings

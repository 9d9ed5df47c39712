#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kv::agent {
class AgentRequests;
}

namespace kv::store {
class ServerList;
}

namespace kv::settings {

// Moving watch settings between the server entries and their Agents, one server or the
// whole list, without a window: the caller says which servers are loaded (their pane nodes
// are marked) and hears of every server's outcome through one callback, which shows the
// message when there is one. Entry 0, the default setting, is never fetched or posted; the
// walks hand its setting text to the caller's save of the local files instead.
class FetchAndSave {
public:
    // The two setting requests: the request layer's, or a stand-in.
    struct Requests {
        std::function<bool(std::string_view address, std::string& target)> FetchWatchSetting;
        std::function<bool(std::string_view address, const std::vector<std::string>& lines)>
            SendWatchSetting;

        static Requests Over(agent::AgentRequests& requests);
    };

    enum class Outcome {
        Fetched,      // the entry holds the reply; its cached log was dropped
        FetchFailed,  // the entry's setting text is empty
        Uploaded,
        UploadFailed,  // not stored by the Agent (no connection, an error status, a 401)
        NotFetched,    // nothing posted: the entry holds no setting to send
        Skipped,       // not loaded; no message
    };

    struct Report {
        std::size_t Index = 0;
        Outcome outcome = Outcome::Skipped;
        std::string Message;  // Shift_JIS; empty when there is nothing to tell
    };

    using Reporter = std::function<void(const Report&)>;
    using LoadedFlag = std::function<bool(std::size_t index)>;
    // Writes entry 0's setting text to the local default files; a throw ends the walk.
    using SaveDefault = std::function<void(const std::string& settingText)>;

    // "リモートサーバとの通信に失敗しました。" CR LF "リモートサーバでKestrelviewエージェント
    // が起動しているか確認してください。"
    static const std::string& CommunicationFailedMessage();
    // Upload: address + " サーバとの通信に失敗しました。" CR LF + the hint line.
    static std::string UploadFailedMessage(std::string_view address);
    // Fetch of all: "リモートサーバ" + address + "との通信に失敗しました。" CR LF + the hint.
    static std::string FetchAllFailedMessage(std::string_view address);
    // An entry without a setting to post (its last fetch failed).
    static std::string NotFetchedMessage(std::string_view address);

    FetchAndSave(store::ServerList& servers, Requests requests, Reporter report);

    // Posts entry `index`'s setting (the upload body, under the entry's own server name).
    // An entry whose setting text yields no body is not posted: an empty post would wipe
    // the Agent's rows and mail settings. Entry 0 throws std::invalid_argument, here and
    // in FetchWatchSetting.
    Outcome UploadWatchSetting(std::size_t index);
    // The fetch of the current server: empties the entry's setting text and fetches it
    // anew; a failure reports CommunicationFailedMessage().
    bool FetchWatchSetting(std::size_t index);

    // Fetches entries 1 to the last, in list order; a failure reports its server and the
    // walk goes on. Mark the node of each Fetched report as loaded. Reports carry the
    // entry's row at the time of the report; entries added meanwhile are not walked.
    void FetchAll();
    // Entry 0 to the local files, then every loaded entry to its Agent.
    void SaveAll(const LoadedFlag& loaded, const SaveDefault& saveDefault);
    // Entry 0 to the local files, then entry 0's setting text copied into every loaded
    // entry, carrying that entry's own server name, and posted.
    void Distribute(const LoadedFlag& loaded, const SaveDefault& saveDefault);

private:
    enum class Walk { Save, Distribute };
    void SaveWalk(Walk walk, const LoadedFlag& loaded, const SaveDefault& saveDefault);
    static void RequireServer(std::size_t index);
    // Keys of entries 1 to the last, taken before a walk waits for the first time.
    std::vector<std::uint64_t> ServerKeys() const;
    // The entry's row after the wait when the fetch succeeded and the entry is still there.
    std::optional<std::size_t> Fetch(std::size_t index);
    void Tell(std::size_t index, Outcome outcome, std::string message);

    store::ServerList& servers_;
    Requests requests_;
    Reporter report_;
};

}  // namespace kv::settings

#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "agentd/DailyLog.h"
#include "agentd/FileFollower.h"
#include "agentd/FiredRow.h"
#include "agentd/PatternSet.h"
#include "agentd/UniqueFd.h"
#include "agentd/WatchState.h"
#include "settings/WatchSetting.h"

namespace kv::agentd {

struct WatchTiming {
    // The slow look at every file, for file systems where inotify says nothing.
    std::chrono::milliseconds statInterval{5000};
    // Positions and counters are written at most this often, and before every action.
    std::chrono::milliseconds saveInterval{1000};
    // A rotated file that stays quiet this long is closed.
    std::chrono::milliseconds retireAfter{10000};
    // Rows that reached their count are handed on together, at most this often, each time
    // after positions and counters have been written.
    std::chrono::milliseconds actionBatch{100};
};

// Watches the files of the current watch rows on the Agent's event loop: reads every new
// line once per file, counts the lines holding each row's string (in Shift_JIS, UTF-8 or
// EUC-JP) and hands a row whose hits reach its count to the sink. Positions and counters
// live in `stateFile`, written atomically, so that a restart neither loses nor recounts.
// Errors are said in the log, never thrown, once the engine is built.
class WatchEngine {
public:
    using Clock = std::chrono::steady_clock;

    // Reads the state kept by the last run. Throws std::system_error when inotify cannot
    // be had.
    WatchEngine(std::string stateFile, WatchTiming timing, FiredRowSink& sink, DailyLog& log);
    ~WatchEngine();
    WatchEngine(const WatchEngine&) = delete;
    WatchEngine& operator=(const WatchEngine&) = delete;

    // Readable when some watched directory changed: then call OnEvents().
    int EventFd() const { return inotify_.Get(); }
    void OnEvents();
    // Does the work that is due; returns how long until it is due again (zero: more waits).
    std::chrono::milliseconds Tick();

    // Replaces the rows at once. Rows that watch the same file for the same string and
    // count as before keep their counters; files still watched keep their positions; a
    // file named for the first time is read from its present end.
    void Apply(const std::vector<settings::WatchRow>& rows, const settings::MailSetting& mail,
               const std::string& serverName);

    // Writes positions and counters now, then hands on the rows that reached their count
    // since the last write. On stop; a crash leaves the last written ones.
    void Save();

    std::size_t WatchedRows() const { return rows_.size(); }

private:
    struct LineKey {
        std::uint64_t serial = 0;
        std::size_t end = 0;
        bool operator==(const LineKey&) const = default;
    };
    struct Row {
        settings::WatchRow row;
        std::uint64_t count = 0;
        std::uint64_t hits = 0;
        std::size_t file = 0;
        LineKey last;
    };
    struct File {
        std::string path;
        std::string directory;
        std::unique_ptr<FileFollower> follower;
        PatternSet patterns;
        std::vector<std::vector<std::size_t>> patternRows;
        bool dirty = true;
        // A line longer than a piece, continued in the next text of its stream.
        std::uint64_t continuingStream = 0;
        std::uint64_t continuingSerial = 0;
        std::string carry;
    };

    void Take(File& file, std::uint64_t stream, std::string_view text, bool continues);
    void ScanLines(File& file, std::string_view text, std::uint64_t serial,
                   std::optional<LineKey> firstLine);
    void Hit(Row& row, const LineKey& key, std::string_view text, std::size_t at);
    void FireCollected(Clock::time_point now);
    void WatchDirectories();
    std::unique_ptr<FileFollower> Follow(const std::string& path);

    std::string stateFile_;
    WatchTiming timing_;
    FiredRowSink& sink_;
    DailyLog& log_;
    UniqueFd inotify_;
    std::optional<WatchState> saved_;
    settings::MailSetting mail_;
    std::string serverName_;
    std::vector<Row> rows_;
    std::vector<File> files_;
    std::map<int, std::string> watches_;  // inotify watch -> directory
    std::vector<FiredRow> fired_;
    std::uint64_t serial_ = 0;
    bool unsaved_ = false;
    bool saveFailing_ = false;
    Clock::time_point lastSave_{};
    Clock::time_point nextStat_{};
};

}  // namespace kv::agentd

#pragma once

#include <ctime>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

namespace kv::agentd {

// The Agent's own log: one EUC-JP file per local day, named yyyymmdd.log, in the log
// directory. Lines carry a time stamp and end in CR LF. Append may be called from any
// thread.
class DailyLog {
public:
    using Clock = std::function<std::time_t()>;

    // `remoteDir` is the Shift_JIS remote path under which the log directory is served.
    DailyLog(std::string directory, std::string remoteDir, Clock clock);

    // "yyyymmdd.log" of the local day `daysBack` days before the day of `when`.
    static std::string FileName(std::time_t when, int daysBack = 0);
    // The remote path of today's log, as the log line of the setting names it.
    std::string TodayRemotePath() const;
    std::string TodayDiskPath() const;

    // Appends one line to today's log: the time stamp, a space and the Shift_JIS text,
    // written as EUC-JP. A failure to write is reported on stderr and does not stop the
    // Agent; it is reported again only after a write has succeeded.
    void Append(std::string_view sjisText);

    // Logs of days more than `days` before today are removed at the first line of each day
    // (0 keeps every log).
    void KeepDays(int days);

    // Gives each of the three days before today a few lines, unless it already has a log.
    void SeedDemoDays();

private:
    void Prune();

    std::string directory_;
    std::string remoteDir_;
    Clock clock_;
    std::mutex mutex_;
    bool failing_ = false;
    int keepDays_ = 0;
    std::string prunedOn_;
};

}  // namespace kv::agentd

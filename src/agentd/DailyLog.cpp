#include "agentd/DailyLog.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include "text/Cp932.h"
#include "text/JapaneseConversion.h"

namespace kv::agentd {
namespace {

std::tm LocalDay(std::time_t when, int daysBack) {
    std::tm day{};
    localtime_r(&when, &day);
    // Noon keeps the arithmetic clear of daylight-saving jumps.
    day.tm_mday -= daysBack;
    day.tm_hour = 12;
    day.tm_min = 0;
    day.tm_sec = 0;
    day.tm_isdst = -1;
    std::time_t normalised = std::mktime(&day);
    localtime_r(&normalised, &day);
    return day;
}

std::string Format(const std::tm& when, const char* pattern) {
    std::array<char, 64> text{};
    const auto size = std::strftime(text.data(), text.size(), pattern, &when);
    return std::string(text.data(), size);
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

struct DemoLine {
    const char* time;
    const char* text;
};

// What a day of an Agent watching a few files looks like.
constexpr std::array kDemoLines{
    DemoLine{"08:59:58", "Kestrelviewエージェントを起動しました。"},
    DemoLine{"09:00:00", "監視を開始しました。 監視ファイル数: 2"},
    DemoLine{"10:42:17", "/var/log/messages で「error」を 3 回検出しました。"},
    DemoLine{"10:42:18", "メールを送信しました。 宛先: admin@example.com 件名: 障害検知"},
    DemoLine{"10:42:19", "コマンドを実行しました。 /usr/local/bin/notify.sh"},
    DemoLine{"18:30:05", "監視設定を更新しました。"},
};

}  // namespace

DailyLog::DailyLog(std::string directory, std::string remoteDir, Clock clock)
    : directory_(std::move(directory)), remoteDir_(std::move(remoteDir)), clock_(std::move(clock)) {
    if (remoteDir_.empty() || remoteDir_.back() != '/') {
        remoteDir_ += '/';
    }
}

std::string DailyLog::FileName(std::time_t when, int daysBack) {
    return Format(LocalDay(when, daysBack), "%Y%m%d") + ".log";
}

std::string DailyLog::TodayRemotePath() const {
    return remoteDir_ + FileName(clock_());
}

std::string DailyLog::TodayDiskPath() const {
    return directory_ + "/" + FileName(clock_());
}

void DailyLog::KeepDays(int days) {
    const std::lock_guard lock(mutex_);
    keepDays_ = days;
    prunedOn_.clear();
}

void DailyLog::Prune() {
    if (keepDays_ <= 0) {
        return;
    }
    // Names compare as dates: the oldest kept day's name is the cut.
    const std::string oldestKept = FileName(clock_(), keepDays_);
    DIR* stream = opendir(directory_.c_str());
    if (stream == nullptr) {
        return;
    }
    while (const dirent* item = readdir(stream)) {
        const std::string_view name = item->d_name;
        const bool dated = name.size() == oldestKept.size() && name.ends_with(".log") &&
                           std::all_of(name.begin(), name.begin() + 8,
                                       [](char c) { return c >= '0' && c <= '9'; });
        if (dated && name < oldestKept) {
            ::unlinkat(dirfd(stream), item->d_name, 0);
        }
    }
    closedir(stream);
}

void DailyLog::Append(std::string_view sjisText) {
    const std::lock_guard lock(mutex_);
    const std::time_t now = clock_();
    if (const std::string today = FileName(now); today != prunedOn_) {
        prunedOn_ = today;
        Prune();
    }
    std::tm local{};
    localtime_r(&now, &local);
    std::string line = Format(local, "%Y/%m/%d %H:%M:%S ");
    line += sjisText;
    line += "\r\n";
    const std::string path = directory_ + "/" + FileName(now);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    const bool written = fd >= 0 && WriteAll(fd, text::SjisToEuc(line));
    const int error = errno;
    if (fd >= 0) {
        ::close(fd);
    }
    if (!written && !failing_) {
        std::fprintf(stderr, "kestrelview-agent: cannot write %s: %s\n", path.c_str(),
                     std::strerror(error));
    }
    failing_ = !written;
}

void DailyLog::SeedDemoDays() {
    const std::time_t now = clock_();
    for (int daysBack = 1; daysBack <= 3; ++daysBack) {
        const std::string path = directory_ + "/" + FileName(now, daysBack);
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0) {
            continue;
        }
        const std::string date = Format(LocalDay(now, daysBack), "%Y/%m/%d ");
        std::string text;
        for (const auto& line : kDemoLines) {
            text += date + line.time + " " + text::Sjis(line.text) + "\r\n";
        }
        if (!WriteAll(fd, text::SjisToEuc(text))) {
            std::fprintf(stderr, "kestrelview-agent: cannot write %s: %s\n", path.c_str(),
                         std::strerror(errno));
        }
        ::close(fd);
    }
}

}  // namespace kv::agentd

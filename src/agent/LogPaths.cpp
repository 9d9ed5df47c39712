#include "agent/LogPaths.h"

#include <chrono>
#include <cstdio>
#include <stdexcept>

#include "text/Cp932.h"

namespace kv::agent {

namespace {

using namespace std::chrono;

constexpr std::size_t kDateLength = 8;

[[noreturn]] void ThrowBadName(std::string_view currentLog) {
    throw std::runtime_error(text::Sjis("ログファイル名が日付 (yyyymmdd) で始まっていません: ") +
                             std::string(currentLog));
}

int Digits(std::string_view text) {
    int value = 0;
    for (char c : text) {
        value = value * 10 + (c - '0');
    }
    return value;
}

// The calendar our dates live in: years 1 to 9999.
bool InRange(const year_month_day& date) {
    return date.ok() && date.year() >= year{1} && date.year() <= year{9999};
}

}  // namespace

std::array<std::string, 4> LogPathList(std::string_view currentLog) {
    const std::size_t slash = currentLog.rfind('/');
    const std::string_view directory =
        slash == std::string_view::npos ? std::string_view{} : currentLog.substr(0, slash + 1);
    const std::string_view name = currentLog.substr(directory.size());
    if (name.size() < kDateLength ||
        name.substr(0, kDateLength).find_first_not_of("0123456789") != std::string_view::npos) {
        ThrowBadName(currentLog);
    }
    const year_month_day current{year{Digits(name.substr(0, 4))},
                                 month{static_cast<unsigned>(Digits(name.substr(4, 2)))},
                                 day{static_cast<unsigned>(Digits(name.substr(6, 2)))}};
    if (!InRange(current)) {
        ThrowBadName(currentLog);
    }
    std::array<std::string, 4> paths{std::string(currentLog)};
    for (int back = 1; back <= 3; ++back) {
        const year_month_day earlier{sys_days{current} - days{back}};
        if (!InRange(earlier)) {
            ThrowBadName(currentLog);
        }
        char stamp[16];
        std::snprintf(stamp, sizeof stamp, "%04d%02u%02u", static_cast<int>(earlier.year()),
                      static_cast<unsigned>(earlier.month()), static_cast<unsigned>(earlier.day()));
        paths[back] = std::string(directory) + stamp + ".log";
    }
    return paths;
}

}  // namespace kv::agent

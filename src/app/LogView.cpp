#include "app/LogView.h"

#include <chrono>
#include <cstdio>

#include "text/JapaneseConversion.h"

namespace kv {

namespace {

std::optional<unsigned> Decimal(std::string_view digits) {
    unsigned value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    return value;
}

std::string DayName(std::chrono::sys_days day) {
    const std::chrono::year_month_day date{day};
    char name[16];
    std::snprintf(name, sizeof name, "%04d%02u%02u.log", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()));
    return name;
}

}  // namespace

std::string PrepareViewText(std::string_view bytes) {
    const std::size_t nul = bytes.find('\0');
    if (nul != std::string_view::npos) {
        bytes = bytes.substr(0, nul);
    }
    std::string lines;
    lines.reserve(bytes.size() + bytes.size() / 32 + 2);
    std::size_t start = 0;
    while (start < bytes.size()) {
        const std::size_t end = bytes.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            lines.append(bytes.substr(start));
            lines += "\r\n";
            break;
        }
        lines.append(bytes.substr(start, end - start));
        lines += "\r\n";
        start = end + 1;
        if (bytes[end] == '\r' && start < bytes.size() && bytes[start] == '\n') {
            ++start;
        }
    }
    return EucToSjis(lines);
}

std::optional<std::array<std::string, 4>> LogPathList(std::string_view currentLog) {
    const std::size_t slash = currentLog.rfind('/');
    const std::string_view dir =
        slash == std::string_view::npos ? std::string_view() : currentLog.substr(0, slash + 1);
    const std::string_view name =
        slash == std::string_view::npos ? currentLog : currentLog.substr(slash + 1);
    if (name.size() < 8) {
        return std::nullopt;
    }
    const std::optional<unsigned> year = Decimal(name.substr(0, 4));
    const std::optional<unsigned> month = Decimal(name.substr(4, 2));
    const std::optional<unsigned> day = Decimal(name.substr(6, 2));
    if (!year || !month || !day) {
        return std::nullopt;
    }
    const std::chrono::year_month_day date{std::chrono::year(static_cast<int>(*year)),
                                           std::chrono::month(*month), std::chrono::day(*day)};
    if (!date.ok()) {
        return std::nullopt;
    }
    const std::chrono::sys_days today{date};
    std::array<std::string, 4> paths;
    paths[0] = std::string(currentLog);
    for (int back = 1; back < 4; ++back) {
        paths[static_cast<std::size_t>(back)] =
            std::string(dir) + DayName(today - std::chrono::days(back));
    }
    return paths;
}

}  // namespace kv

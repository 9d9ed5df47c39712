#include "cli/SettingDiff.h"

#include <algorithm>
#include <cstdio>

#include "settings/WatchSetting.h"

namespace kv::cli {

namespace {

struct FieldOf {
    const char* name;
    std::string settings::WatchRow::*row;
};

constexpr FieldOf kRowFields[] = {
    {"FileName", &settings::WatchRow::FileName},
    {"SearchString", &settings::WatchRow::SearchString},
    {"SearchCount", &settings::WatchRow::SearchCount},
    {"MailAddress", &settings::WatchRow::MailAddress},
    {"Command", &settings::WatchRow::Command},
};

struct MailFieldOf {
    const char* name;
    std::string settings::MailSetting::*mail;
};

constexpr MailFieldOf kMailFields[] = {
    {"MailSubject", &settings::MailSetting::MailSubject},
    {"MailBody", &settings::MailSetting::MailBody},
    {"SMTPServer", &settings::MailSetting::SMTPServer},
    {"FromMailAddress", &settings::MailSetting::FromMailAddress},
};

// A value in quotes, its line breaks and other control bytes visible as escapes.
std::string Shown(std::string_view value) {
    std::string text = "\"";
    for (std::size_t i = 0; i < value.size(); ++i) {
        const auto byte = static_cast<unsigned char>(value[i]);
        if (value.substr(i, 2) == "\r\n") {
            text += "\\n";
            ++i;
        } else if (byte == '\t') {
            text += "\\t";
        } else if (byte < 0x20 || byte == 0x7f) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
            text += escaped;
        } else {
            text += value[i];
        }
    }
    return text + "\"";
}

std::string RowText(const settings::WatchRow& row) {
    std::string text;
    for (const FieldOf& field : kRowFields) {
        // Appended apart: the literal-plus-text form trips GCC 12's false -Wrestrict at -O3.
        if (!text.empty()) {
            text += ',';
        }
        text += Shown(row.*field.row);
    }
    return text;
}

}  // namespace

std::vector<std::string> SettingDifferences(std::string_view current, std::string_view wanted) {
    const settings::WatchSetting from = settings::ParseSettingText(current);
    const settings::WatchSetting to = settings::ParseSettingText(wanted);
    std::vector<std::string> lines;
    const std::size_t common = std::min(from.Rows.size(), to.Rows.size());
    for (std::size_t i = 0; i < common; ++i) {
        for (const FieldOf& field : kRowFields) {
            const std::string& before = from.Rows[i].*field.row;
            const std::string& after = to.Rows[i].*field.row;
            if (before != after) {
                lines.push_back("row " + std::to_string(i + 1) + " " + field.name + ": " +
                                Shown(before) + " -> " + Shown(after));
            }
        }
    }
    for (std::size_t i = common; i < to.Rows.size(); ++i) {
        lines.push_back("row " + std::to_string(i + 1) + " added: " + RowText(to.Rows[i]));
    }
    for (std::size_t i = common; i < from.Rows.size(); ++i) {
        lines.push_back("row " + std::to_string(i + 1) + " removed: " + RowText(from.Rows[i]));
    }
    for (const MailFieldOf& field : kMailFields) {
        const std::string& before = from.Mail.*field.mail;
        const std::string& after = to.Mail.*field.mail;
        if (before != after) {
            lines.push_back(std::string("mail ") + field.name + ": " + Shown(before) + " -> " +
                            Shown(after));
        }
    }
    return lines;
}

std::optional<std::string> UnfitForUpload(std::string_view settingText) {
    const std::vector<std::string_view> lines = settings::SplitSettingLines(settingText);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (std::count(lines[i].begin(), lines[i].end(), '"') % 2 != 0) {
            return "line " + std::to_string(i + 1) +
                   ": a quoted value is not closed (a line break inside a value?)";
        }
    }
    // The last line is the log line (a path, or empty), the one before it the mail line.
    if (lines.size() < 2 || settings::SplitCommaText(lines.back()).size() > 1) {
        return std::string(
            "no mail line: the last two lines must be the mail line and the log line (or an "
            "empty line)");
    }
    if (lines.size() - 2 > settings::kMaxWatchRows) {
        return "more than " + std::to_string(settings::kMaxWatchRows) + " watch rows";
    }
    return std::nullopt;
}

}  // namespace kv::cli

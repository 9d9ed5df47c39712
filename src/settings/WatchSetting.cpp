#include "settings/WatchSetting.h"

#include <utility>

#include "settings/SettingLine.h"
#include "text/JapaneseConversion.h"

namespace kv::settings {

namespace {

constexpr char kQuote = '"';
constexpr char kComma = ',';
constexpr std::string_view kCrLf = "\r\n";

bool IsBlank(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 0x01 && byte <= 0x20;
}

std::size_t SkipBlanks(std::string_view line, std::size_t pos) {
    while (pos < line.size() && IsBlank(line[pos])) {
        ++pos;
    }
    return pos;
}

// `pos` is on the opening quote. A quote without its closing partner takes the rest of
// the line, so the reader never runs past the line it was given.
std::size_t ReadQuotedField(std::string_view line, std::size_t pos, std::string& field) {
    ++pos;
    while (pos < line.size()) {
        if (line[pos] != kQuote) {
            field += line[pos++];
        } else if (pos + 1 < line.size() && line[pos + 1] == kQuote) {
            field += kQuote;
            pos += 2;
        } else {
            return pos + 1;
        }
    }
    return pos;
}

std::size_t ReadBareField(std::string_view line, std::size_t pos, std::string& field) {
    const std::size_t start = pos;
    while (pos < line.size() && !IsBlank(line[pos]) && line[pos] != kComma) {
        ++pos;
    }
    field.assign(line.substr(start, pos - start));
    return pos;
}

}  // namespace

std::vector<std::string> SplitCommaText(std::string_view line) {
    std::vector<std::string> fields;
    std::size_t pos = SkipBlanks(line, 0);
    while (pos < line.size()) {
        std::string field;
        pos = line[pos] == kQuote ? ReadQuotedField(line, pos, field)
                                  : ReadBareField(line, pos, field);
        fields.push_back(std::move(field));
        pos = SkipBlanks(line, pos);
        if (pos < line.size() && line[pos] == kComma) {
            if (pos + 1 == line.size()) {
                fields.emplace_back();
            }
            pos = SkipBlanks(line, pos + 1);
        }
    }
    return fields;
}

std::vector<std::string_view> SplitSettingLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const char c = text[pos];
        if (c != '\r' && c != '\n') {
            ++pos;
            continue;
        }
        lines.push_back(text.substr(start, pos - start));
        pos += (c == '\r' && pos + 1 < text.size() && text[pos + 1] == '\n') ? 2 : 1;
        start = pos;
    }
    if (start < text.size()) {
        lines.push_back(text.substr(start));
    }
    return lines;
}

WatchSetting ParseSettingText(std::string_view text) {
    WatchSetting setting;
    const std::vector<std::string_view> lines = SplitSettingLines(text);
    const std::size_t n = lines.size();
    if (n == 0) {
        return setting;
    }
    for (std::size_t i = 0; i + 2 < n; ++i) {
        setting.Rows.push_back(RowFromFields(SplitCommaText(lines[i])));
    }
    if (n >= 2) {
        LineFields mail = FiveFields(SplitCommaText(lines[n - 2]));
        setting.Mail = MailFromFields(mail);
        setting.ServerName = std::move(mail[4]);
    }
    std::vector<std::string> log = SplitCommaText(lines[n - 1]);
    if (!log.empty()) {
        setting.LogPath = std::move(log.front());
    }
    return setting;
}

std::string BuildSettingText(const std::vector<WatchRow>& rows, const MailSetting& mail,
                             std::string_view serverName) {
    std::string text;
    for (const WatchRow& row : rows) {
        AppendQuotedLine(
            text, {row.FileName, row.SearchString, row.SearchCount, row.MailAddress, row.Command});
    }
    const std::string body = LineBreaksToTabs(mail.MailBody);
    AppendQuotedLine(text,
                     {mail.MailSubject, body, mail.SMTPServer, mail.FromMailAddress, serverName});
    text += kCrLf;
    return text;
}

std::string BuildUploadBody(std::string_view settingText, std::string_view serverName) {
    const std::vector<std::string_view> lines = SplitSettingLines(settingText);
    std::string body;
    if (lines.size() < 2) {
        return body;
    }
    const std::size_t mailLine = lines.size() - 2;
    for (std::size_t i = 0; i < mailLine; ++i) {
        const auto f = FiveFields(SplitCommaText(lines[i]));
        AppendQuotedLine(body, {f[0], f[1], f[2], f[3], f[4]});
    }
    const auto mail = FiveFields(SplitCommaText(lines[mailLine]));
    const std::string subject = text::SjisToEuc(mail[0]);
    const std::string mailBody = text::SjisToEuc(mail[1]);
    AppendQuotedLine(body, {subject, mailBody, mail[2], mail[3], serverName});
    return body;
}

std::string WithServerName(std::string_view settingText, std::string_view serverName) {
    const std::vector<std::string_view> lines = SplitSettingLines(settingText);
    if (lines.size() < 2) {
        return std::string(settingText);
    }
    const std::size_t mailLine = lines.size() - 2;
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i == mailLine) {
            auto f = FiveFields(SplitCommaText(lines[i]));
            f[4] = std::string(serverName);
            AppendQuotedLine(text, {f[0], f[1], f[2], f[3], f[4]});
        } else {
            text.append(lines[i]).append(kCrLf);
        }
    }
    return text;
}

std::string TabsToLineBreaks(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        if (c == '\t') {
            out += kCrLf;
        } else {
            out += c;
        }
    }
    return out;
}

// A lone CR or LF (a page edited on a system that breaks lines with LF alone) is a line
// break too: left in the text it would split the mail line and shift every line above it.
std::string LineBreaksToTabs(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            out += '\t';
            ++i;
        } else if (c == '\r' || c == '\n') {
            out += '\t';
        } else {
            out += c;
        }
    }
    return out;
}

namespace {

bool MakeCarriable(std::string& value, bool lineBreaksAllowed) {
    std::string carried;
    carried.reserve(value.size());
    for (const char c : value) {
        if (c == kQuote) {
            continue;
        }
        carried += !lineBreaksAllowed && (c == '\r' || c == '\n') ? ' ' : c;
    }
    const bool changed = carried != value;
    value = std::move(carried);
    return changed;
}

}  // namespace

bool MakeCarriable(WatchRow& row) {
    bool changed = false;
    for (std::string* value :
         {&row.FileName, &row.SearchString, &row.SearchCount, &row.MailAddress, &row.Command}) {
        changed = MakeCarriable(*value, false) || changed;
    }
    return changed;
}

bool MakeCarriable(MailSetting& mail) {
    bool changed = MakeCarriable(mail.MailBody, true);
    for (std::string* value : {&mail.MailSubject, &mail.SMTPServer, &mail.FromMailAddress}) {
        changed = MakeCarriable(*value, false) || changed;
    }
    return changed;
}

bool CanCarry(const WatchRow& row) {
    WatchRow copy = row;
    return !MakeCarriable(copy);
}

}  // namespace kv::settings

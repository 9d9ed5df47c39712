#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kv::settings {

// Rows the grid can hold; a setting text never carries more.
inline constexpr std::size_t kMaxWatchRows = 128;

struct WatchRow {
    std::string FileName;
    std::string SearchString;
    std::string SearchCount;
    std::string MailAddress;
    std::string Command;

    bool operator==(const WatchRow&) const = default;
};

// MailBody holds its line breaks as CR LF (page form); the setting text carries TABs.
struct MailSetting {
    std::string MailSubject;
    std::string MailBody;
    std::string SMTPServer;
    std::string FromMailAddress;

    bool operator==(const MailSetting&) const = default;
};

struct WatchSetting {
    std::vector<WatchRow> Rows;  // every watch line of the text, in order
    MailSetting Mail;
    std::string ServerName;
    std::optional<std::string> LogPath;  // first field of the log line, when it has one
};

// Splits one line into fields: quoted fields with doubled quotes, bare fields ending at a
// blank (0x01-0x20) or comma, a trailing comma giving one empty field.
std::vector<std::string> SplitCommaText(std::string_view line);

// Splits at CR LF, lone CR and lone LF; a break at the very end starts no further line.
std::vector<std::string_view> SplitSettingLines(std::string_view text);

// Setting text -> rows, mail setting, server name and log path.
WatchSetting ParseSettingText(std::string_view text);

// Rows + mail page (body with CR LF) + server name -> setting text ending in CR LF CR LF.
std::string BuildSettingText(const std::vector<WatchRow>& rows, const MailSetting& mail,
                             std::string_view serverName);

// The body posted to PostWatchSetting.cgi: watch and mail lines requoted, subject and
// body converted to EUC-JP, field 5 of the mail line := serverName. Empty below two lines.
std::string BuildUploadBody(std::string_view settingText, std::string_view serverName);

// The setting text with field 5 of its mail line := serverName, every other line kept.
std::string WithServerName(std::string_view settingText, std::string_view serverName);

// The setting text writes every value verbatim between double quotes, one line per row:
// a double quote, or a line break outside the mail body, would split or shift a row.
// These drop double quotes and turn such line breaks into blanks; true when they changed
// something, so that the door the text came through can say so.
bool MakeCarriable(WatchRow& row);
bool MakeCarriable(MailSetting& mail);
bool CanCarry(const WatchRow& row);

// "a\tb" <-> "a\r\nb" for the mail body.
std::string TabsToLineBreaks(std::string_view text);
std::string LineBreaksToTabs(std::string_view text);

}  // namespace kv::settings

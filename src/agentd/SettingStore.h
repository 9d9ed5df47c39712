#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "settings/WatchSetting.h"

namespace kv::agentd {

// The Agent's watch rows and mail settings, all Shift_JIS, the mail body with CR LF line
// breaks. Kept in memory and, when a file is given, in that file as a setting text.
class SettingStore {
public:
    enum class Upload { Stored, NoMailLine, TooManyRows };

    // An empty `file` keeps the setting in memory only; otherwise the setting is read from
    // it when it exists and written to it on every change.
    explicit SettingStore(std::string file);

    // Replaces rows and mail settings with a PostWatchSetting.cgi body: watch lines, then
    // the mail line with subject and body in EUC-JP; its fifth field is not taken. Empty
    // lines at the end are dropped. Throws EInOutError, leaving everything as it was, when
    // the file cannot be written.
    Upload Accept(std::string_view body);

    // The GetWatchSetting.cgi reply: watch lines, the mail line (body line breaks as TABs,
    // fifth field `serverName`) and the log line naming `logPath`.
    std::string SettingText(std::string_view serverName, std::string_view logPath) const;

    const std::vector<settings::WatchRow>& Rows() const { return rows_; }
    const settings::MailSetting& Mail() const { return mail_; }

private:
    std::string file_;
    std::vector<settings::WatchRow> rows_;
    settings::MailSetting mail_;
};

}  // namespace kv::agentd

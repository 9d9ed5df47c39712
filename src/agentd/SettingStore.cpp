#include "agentd/SettingStore.h"

#include <initializer_list>
#include <utility>

#include "store/AtomicFile.h"
#include "text/JapaneseConversion.h"

namespace kv::agentd {
namespace {

// Quotes inside a value are doubled, which the Manager's splitter reads back as one quote,
// so every stored value comes back as it went in.
void AppendLine(std::string& text, std::initializer_list<std::string_view> fields) {
    bool first = true;
    for (std::string_view field : fields) {
        if (!first) {
            text += ',';
        }
        first = false;
        text += '"';
        for (char c : field) {
            text += c;
            if (c == '"') {
                text += '"';
            }
        }
        text += '"';
    }
    text += "\r\n";
}

std::string BuildText(const std::vector<settings::WatchRow>& rows,
                      const settings::MailSetting& mail, std::string_view serverName,
                      std::string_view logPath) {
    std::string text;
    for (const settings::WatchRow& row : rows) {
        AppendLine(text,
                   {row.FileName, row.SearchString, row.SearchCount, row.MailAddress, row.Command});
    }
    AppendLine(text, {mail.MailSubject, settings::LineBreaksToTabs(mail.MailBody), mail.SMTPServer,
                      mail.FromMailAddress, serverName});
    if (logPath.empty()) {
        text += "\r\n";
    } else {
        AppendLine(text, {logPath});
    }
    return text;
}

std::string Field(const std::vector<std::string>& fields, std::size_t index) {
    return index < fields.size() ? fields[index] : std::string();
}

}  // namespace

SettingStore::SettingStore(std::string file) : file_(std::move(file)) {
    std::string text;
    if (file_.empty() || !store::ReadWholeFile(file_, text)) {
        return;
    }
    settings::WatchSetting stored = settings::ParseSettingText(text);
    if (stored.Rows.size() > settings::kMaxWatchRows) {
        stored.Rows.resize(settings::kMaxWatchRows);
    }
    rows_ = std::move(stored.Rows);
    mail_ = std::move(stored.Mail);
}

SettingStore::Upload SettingStore::Accept(std::string_view body) {
    auto lines = settings::SplitSettingLines(body);
    while (!lines.empty() && lines.back().empty()) {
        lines.pop_back();
    }
    if (lines.empty()) {
        return Upload::NoMailLine;
    }
    if (lines.size() - 1 > settings::kMaxWatchRows) {
        return Upload::TooManyRows;
    }
    std::vector<settings::WatchRow> rows;
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
        const auto fields = settings::SplitCommaText(lines[i]);
        rows.push_back({Field(fields, 0), Field(fields, 1), Field(fields, 2), Field(fields, 3),
                        Field(fields, 4)});
    }
    const auto fields = settings::SplitCommaText(lines.back());
    settings::MailSetting mail{text::EucToSjis(Field(fields, 0)),
                               settings::TabsToLineBreaks(text::EucToSjis(Field(fields, 1))),
                               Field(fields, 2), Field(fields, 3)};
    if (!file_.empty()) {
        store::WriteFileAtomically(file_, BuildText(rows, mail, {}, {}));
    }
    rows_ = std::move(rows);
    mail_ = std::move(mail);
    return Upload::Stored;
}

std::string SettingStore::SettingText(std::string_view serverName, std::string_view logPath) const {
    return BuildText(rows_, mail_, serverName, logPath);
}

}  // namespace kv::agentd

#include "app/WatchPages.h"

#include <utility>

#include "app/SettingNotices.h"
#include "text/Cp932.h"

namespace kv::app {

namespace {

// Why the setting text could not carry `text`, or empty when it can.
std::string Refusal(std::string_view text, bool lineBreaksAllowed, bool tabsAllowed) {
    if (text.find('"') != std::string_view::npos) {
        return text::Sjis("ダブルクォーテーション（\"）は入力できません。");
    }
    if (!lineBreaksAllowed && text.find_first_of("\r\n") != std::string_view::npos) {
        return text::Sjis("改行は入力できません。");
    }
    if (!tabsAllowed && text.find('\t') != std::string_view::npos) {
        return text::Sjis("本文にはタブ文字を入力できません。");
    }
    return {};
}

// Every line break of a typed body becomes CR LF, the form the setting text turns into TABs.
std::string NormalisedBody(std::string_view text) {
    std::string body;
    body.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            body += "\r\n";
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
        } else {
            body += text[i];
        }
    }
    return body;
}

}  // namespace

WatchPages::WatchPages(UserPort& ui, std::function<void(ChangeMask)> notify)
    : ui_(ui), notify_(std::move(notify)) {}

void WatchPages::Clear() {
    grid_.Clear();
    serverNameText_.clear();
    mail_ = settings::MailSetting{};
    shownKey_ = 0;
    hiddenRows_.clear();
    hiddenRowsKept_ = false;
    notify_(Change::Grid | Change::ServerName | Change::Mail);
}

void WatchPages::ShowDefault(std::uint64_t key, const std::vector<settings::WatchRow>& rows,
                             settings::MailSetting mail, std::string serverName) {
    grid_.Fill(rows);
    mail_ = std::move(mail);
    serverNameText_ = std::move(serverName);
    shownKey_ = key;
}

WatchPages::Shown WatchPages::Show(const store::TServerTree& entry, bool isDefault) {
    SetServerNameText(entry.ServerName);
    const std::size_t lines = settings::SplitSettingLines(entry.SettingText).size();
    // Without its mail line the entry holds no setting (its last fetch failed): pages
    // built from it must never go back to the Agent.
    const bool hasSetting = lines >= 2 || isDefault;
    shownKey_ = hasSetting ? entry.Key : 0;
    settings::WatchSetting setting = settings::ParseSettingText(entry.SettingText);
    // A value the setting text cannot carry (an Agent's doubled quote) would split its row
    // at the next upload: shown without it, and said.
    bool carried = settings::MakeCarriable(setting.Mail);
    for (settings::WatchRow& row : setting.Rows) {
        carried = settings::MakeCarriable(row) || carried;
    }
    if (setting.Rows.size() > settings::kMaxWatchRows) {
        hiddenRows_.assign(setting.Rows.begin() + settings::kMaxWatchRows, setting.Rows.end());
        setting.Rows.resize(settings::kMaxWatchRows);
    }
    for (std::size_t r = 0; r < setting.Rows.size(); ++r) {
        grid_.SetRow(r + 1, setting.Rows[r]);
    }
    ChangeMask changed = Change::Grid | Change::ServerName;
    std::optional<std::string> name;
    if (lines >= 2) {
        mail_ = std::move(setting.Mail);
        serverNameText_ = setting.ServerName;
        name = std::move(setting.ServerName);
        changed = changed | Change::Mail;
    }
    notify_(changed);
    if (carried) {
        ui_.ShowMessage(UncarriableNotice(text::Sjis("この設定には")));
    }
    if (!hiddenRows_.empty()) {
        ui_.ShowMessage(RowsBeyondGridNotice(text::Sjis("この設定には"),
                                             hiddenRows_.size() + settings::kMaxWatchRows));
    }
    return Shown{hasSetting, lines >= 1, std::move(setting.LogPath), std::move(name)};
}

std::optional<std::string> WatchPages::Capture(const store::TServerTree& entry) {
    // Pages that show no setting of this entry (never fetched, or the fetch failed) would
    // become a setting the user never saw: posted, it would wipe the Agent's rows.
    if (entry.Key != shownKey_ || shownKey_ == 0) {
        return std::nullopt;
    }
    std::vector<settings::WatchRow> rows = grid_.LeadingRows();
    if (!hiddenRows_.empty() && !hiddenRowsKept_) {
        if (ui_.ConfirmOkCancel(
                text::Sjis("表示されていない監視設定が") + std::to_string(hiddenRows_.size()) +
                text::Sjis("行あります。\r\nこれらの行を削除してよろしいですか？\r\n"
                           "「キャンセル」を選択すると、これらの行は残ります。"))) {
            hiddenRows_.clear();
        } else {
            hiddenRowsKept_ = true;
        }
    }
    rows.insert(rows.end(), hiddenRows_.begin(), hiddenRows_.end());
    std::string text = settings::BuildSettingText(rows, mail_, entry.ServerName);
    // Keep the Agent's log path: without it a log that could not be fetched yet would
    // never be shown for this server again.
    const std::vector<std::string_view> lines = settings::SplitSettingLines(entry.SettingText);
    if (!lines.empty()) {
        const std::vector<std::string> log = settings::SplitCommaText(lines.back());
        if (!log.empty() && !log.front().empty()) {
            text.resize(text.size() - 2);
            text += "\"" + log.front() + "\"\r\n";
        }
    }
    return text;
}

void WatchPages::ReplaceRows(const std::vector<settings::WatchRow>& rows) {
    const std::uint64_t shown = shownKey_;
    Clear();
    shownKey_ = shown;
    grid_.Fill(rows);
    notify_(static_cast<ChangeMask>(Change::Grid));
}

void WatchPages::SetServerNameText(std::string text) {
    serverNameText_ = std::move(text);
    notify_(static_cast<ChangeMask>(Change::ServerName));
}

void WatchPages::SetCurrentCell(std::size_t row, std::size_t column) {
    grid_.SetCurrent(row, column);
    notify_(static_cast<ChangeMask>(Change::CurrentCell));
}

bool WatchPages::EditCell(std::size_t row, std::size_t column, std::string_view text) {
    if (const std::string refusal = Refusal(text, false, true); !refusal.empty()) {
        ui_.ShowMessage(refusal);
        return false;
    }
    std::string cell(text);
    // Pasted or composed text meets the count column's key rule too: only digits stay.
    if (column == WatchGrid::kCountColumn) {
        std::erase_if(cell, [](char c) { return c < '0' || c > '9'; });
    }
    grid_.SetCell(row, column, std::move(cell));
    notify_(static_cast<ChangeMask>(Change::Grid));
    return true;
}

bool WatchPages::EditMailField(std::string settings::MailSetting::*field, std::string_view text,
                               bool multiLine) {
    if (const std::string refusal = Refusal(text, multiLine, !multiLine); !refusal.empty()) {
        ui_.ShowMessage(refusal);
        return false;
    }
    mail_.*field = multiLine ? NormalisedBody(text) : std::string(text);
    notify_(static_cast<ChangeMask>(Change::Mail));
    return true;
}

void WatchPages::CopyRow() {
    ui_.MoveFocus(FocusTarget::GridToolBar);
    const settings::WatchRow row = grid_.Row(grid_.CurrentRow());
    lineCopy_ = {row.FileName, row.SearchString, row.SearchCount, row.MailAddress, row.Command};
    ui_.MoveFocus(FocusTarget::Grid);
}

bool WatchPages::PasteRow() {
    if (lineCopy_.size() != WatchGrid::kColumns) {
        return false;
    }
    // Committing afterwards would put the editor's old text over the pasted cell.
    ui_.MoveFocus(FocusTarget::GridToolBar);
    grid_.SetRow(grid_.CurrentRow(), settings::WatchRow{lineCopy_[0], lineCopy_[1], lineCopy_[2],
                                                        lineCopy_[3], lineCopy_[4]});
    notify_(static_cast<ChangeMask>(Change::Grid));
    return true;
}

void WatchPages::DeleteRow() {
    ui_.MoveFocus(FocusTarget::GridToolBar);
    ui_.SetBusyCursor(true);
    grid_.DeleteRow(grid_.CurrentRow());
    ui_.SetBusyCursor(false);
    notify_(static_cast<ChangeMask>(Change::Grid));
    ui_.MoveFocus(FocusTarget::Grid);
}

}  // namespace kv::app

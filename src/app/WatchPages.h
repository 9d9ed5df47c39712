#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/ModelObserver.h"
#include "app/UserPort.h"
#include "app/WatchGrid.h"
#include "settings/WatchSetting.h"
#include "store/ServerList.h"

namespace kv::app {

// The watch pages: the grid, the mail page and the server name box, and which entry's
// setting they show. Only pages that show an entry's setting are ever captured into it.
// Errors: typed text the setting text cannot carry is refused with a message to the user
// (false); nothing here throws for the user's input.
class WatchPages {
public:
    WatchPages(UserPort& ui, std::function<void(ChangeMask)> notify);

    const WatchGrid& Grid() const { return grid_; }
    const settings::MailSetting& Mail() const { return mail_; }
    const std::string& ServerNameText() const { return serverNameText_; }
    std::size_t HiddenRowCount() const { return hiddenRows_.size(); }
    const std::vector<std::string>& LineCopyBuffer() const { return lineCopy_; }
    // Key of the entry whose setting the pages show; 0 when they show none.
    std::uint64_t ShownKey() const { return shownKey_; }

    // Empties every page; they then show no entry's setting.
    void Clear();
    // The start: the default setting's rows and mail settings, as entry `key`'s.
    void ShowDefault(std::uint64_t key, const std::vector<settings::WatchRow>& rows,
                     settings::MailSetting mail, std::string serverName);
    struct Shown {
        bool HasSetting = false;  // a mail line: the pages may be edited and captured
        bool HasLogLine = false;  // any line at all: the last one names the log
        std::optional<std::string> LogPath;
        // The name of the mail line, which becomes the entry's server name.
        std::optional<std::string> ServerName;
    };
    // Shows `entry`'s setting text. A text without a mail line is no setting (its fetch
    // failed): shown empty and never captured.
    Shown Show(const store::TServerTree& entry, bool isDefault);
    // `entry`'s setting text built from the pages when they show it; nothing otherwise.
    // Rows beyond the grid are kept unless the user agrees, once per display, to drop them.
    std::optional<std::string> Capture(const store::TServerTree& entry);
    // Imported rows replace the grid's, for the entry shown; the mail page is emptied.
    void ReplaceRows(const std::vector<settings::WatchRow>& rows);
    void SetServerNameText(std::string text);
    void SetCurrentCell(std::size_t row, std::size_t column);

    // Typed text; refused (false, a message shown) when the setting text could not carry it.
    bool EditCell(std::size_t row, std::size_t column, std::string_view text);
    bool EditMailField(std::string settings::MailSetting::*field, std::string_view text,
                       bool multiLine);

    // The row commands; each leaves a cell edit in progress committed first.
    void CopyRow();
    // False when nothing was copied yet.
    bool PasteRow();
    void DeleteRow();

private:
    UserPort& ui_;
    std::function<void(ChangeMask)> notify_;
    WatchGrid grid_;
    settings::MailSetting mail_;
    std::string serverNameText_;
    std::uint64_t shownKey_ = 0;
    std::vector<settings::WatchRow> hiddenRows_;
    bool hiddenRowsKept_ = false;
    std::vector<std::string> lineCopy_;
};

}  // namespace kv::app

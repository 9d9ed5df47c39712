#include "app/LogView.h"

#include <stdexcept>
#include <utility>

#include "agent/FileViewText.h"
#include "agent/LogPaths.h"
#include "text/Cp932.h"

namespace kv::app {

LogView::LogView(RequestGate& requests, ServerTable& table, std::function<void(ChangeMask)> notify)
    : requests_(requests), table_(table), notify_(std::move(notify)) {}

const std::array<std::string, 4>& LogView::Choices() {
    static const std::array<std::string, 4> choices{text::Sjis("最新"), text::Sjis("一日前"),
                                                    text::Sjis("二日前"), text::Sjis("三日前")};
    return choices;
}

void LogView::Clear() {
    text_.clear();
    notify_(static_cast<ChangeMask>(Change::LogText));
}

void LogView::Show(std::size_t index, const std::optional<std::string>& logPath, bool scroll,
                   const std::function<std::uint64_t()>& shownKey) {
    index_ = 0;
    notify_(static_cast<ChangeMask>(Change::LogIndex));
    const bool known = logPath && !logPath->empty();
    // The day choice asks for this server's own logs, even when this fetch fails.
    paths_ = {};
    if (known) {
        try {
            paths_ = agent::LogPathList(*logPath);
        } catch (const std::runtime_error&) {
            // An undated name leaves the choices to their captions.
        }
    }
    const store::TServerTree& entry = table_.Servers().Entry(index);
    if (entry.CachedLog) {
        text_ = agent::PrepareFileViewText(*entry.CachedLog);
    } else if (!known) {
        text_.clear();
    } else {
        const std::uint64_t key = entry.Key;
        std::string reply = requests_.FetchFileView(entry.IPAddress, *logPath);
        // The entry may have moved while the log was on its way, and the pages may show
        // another server by now: then the log is only kept for later.
        if (!table_.CacheLog(key, reply)) {
            return;
        }
        if (shownKey() != key) {
            return;
        }
        text_ = agent::PrepareFileViewText(reply);
    }
    notify_(scroll ? Change::LogText | Change::LogScrollToEnd
                   : static_cast<ChangeMask>(Change::LogText));
}

void LogView::ChooseDay(std::size_t day, const std::string& address,
                        const std::function<std::uint64_t()>& shownKey) {
    if (day >= Choices().size()) {
        return;
    }
    index_ = day;
    const std::string& path = paths_[day].empty() ? Choices()[day] : paths_[day];
    const std::uint64_t shown = shownKey();
    std::string text;
    try {
        text = agent::PrepareFileViewText(requests_.FetchFileView(address, path));
    } catch (const std::exception&) {
        text = text::Sjis("ログファイルが存在しない可能性があります。");
    }
    if (shown != shownKey()) {
        return;
    }
    text_ = std::move(text);
    notify_(Change::LogIndex | Change::LogText | Change::LogScrollToEnd);
}

}  // namespace kv::app

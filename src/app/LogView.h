#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "app/ModelObserver.h"
#include "app/RequestGate.h"
#include "app/ServerTable.h"

namespace kv::app {

// The log page: which log is shown for the server the pages show, and the day choice.
// Errors: a log that cannot be fetched on a day choice is said in the page itself; the
// fetch that comes with showing a setting throws for the caller to report.
class LogView {
public:
    LogView(RequestGate& requests, ServerTable& table, std::function<void(ChangeMask)> notify);

    // "最新", "一日前", "二日前", "三日前"
    static const std::array<std::string, 4>& Choices();

    const std::string& Text() const { return text_; }
    std::size_t Index() const { return index_; }
    const std::array<std::string, 4>& Paths() const { return paths_; }

    void Clear();
    // Shows entry `index`'s log: the cached one, or fetched from its Agent and cached.
    // `shownKey` tells after the wait whether the pages still show that entry.
    void Show(std::size_t index, const std::optional<std::string>& logPath, bool scroll,
              const std::function<std::uint64_t()>& shownKey);
    // The user's choice of day for `address`'s log.
    void ChooseDay(std::size_t day, const std::string& address,
                   const std::function<std::uint64_t()>& shownKey);

private:
    RequestGate& requests_;
    ServerTable& table_;
    std::function<void(ChangeMask)> notify_;
    std::string text_;
    std::size_t index_ = 0;
    std::array<std::string, 4> paths_;
};

}  // namespace kv::app

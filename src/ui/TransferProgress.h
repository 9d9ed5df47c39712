#pragma once

#include <cstdint>

#include <QElapsedTimer>
#include <QString>

namespace kv::ui {

class StatusBar;

// Shows in the status bar how much of a large reply body has arrived, and keeps the window
// painting while it does: a body that arrives faster than the socket ever waits would
// otherwise leave no turn to the event loop until its end.
class TransferProgress {
public:
    // Bodies smaller than this pass without a word.
    static constexpr std::uint64_t kShownFrom = std::uint64_t(1) << 20;

    explicit TransferProgress(StatusBar* status) : status_(status) {}

    // Bytes received so far and the total (-1 when the Agent sent no length); (0, -1) when
    // the request has ended.
    void Update(std::uint64_t received, std::int64_t total);

    static QString Text(std::uint64_t received, std::int64_t total);

private:
    StatusBar* status_;
    QElapsedTimer sinceShown_;
};

}  // namespace kv::ui

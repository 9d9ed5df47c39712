#pragma once

#include <string>

#include "settings/WatchSetting.h"

namespace kv::agentd {

// A watch row whose hits reached its count, with everything its actions need: the row,
// the setting's mail fields and server name as stored (Shift_JIS), and the line that
// completed the count (raw bytes, its line end removed).
struct FiredRow {
    settings::WatchRow row;
    settings::MailSetting mail;
    std::string serverName;
    std::string resultLine;
};

// Takes fired rows on the Agent's event loop; it must hand the work on and never block.
class FiredRowSink {
public:
    virtual ~FiredRowSink() = default;
    virtual void Fire(const FiredRow& fired) = 0;
};

}  // namespace kv::agentd

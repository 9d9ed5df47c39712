#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "agentd/DailyLog.h"
#include "agentd/FiredRow.h"
#include "agentd/WatchEngine.h"
#include "support/TempDir.h"

namespace kv::test {

// Keeps every fired row, in order.
class RecordingSink : public agentd::FiredRowSink {
public:
    void Fire(const agentd::FiredRow& fired) override { fired_.push_back(fired); }
    const std::vector<agentd::FiredRow>& Fired() const { return fired_; }
    std::vector<std::string> ResultLines() const;

private:
    std::vector<agentd::FiredRow> fired_;
};

// A watch engine over a temporary directory: watched files under Dir(), the state and the
// daily log in Dir()/state. Restart() drops the engine (keeping what it last saved, as a
// crash would; Save() first for a clean stop) and builds a new one on the same state.
class WatchHarness {
public:
    explicit WatchHarness(agentd::WatchTiming timing = Fast());
    ~WatchHarness();

    static agentd::WatchTiming Fast();

    const TempDir& Dir() const { return dir_; }
    agentd::WatchEngine& Engine() { return *engine_; }
    RecordingSink& Sink() { return sink_; }
    // Today's log, converted to Shift_JIS.
    std::string Log() const;

    // Rows "FileName","SearchString","SearchCount" with mail and command left empty.
    void Watch(const std::vector<std::vector<std::string>>& rows);
    void Append(const std::string& name, const std::string& bytes) const;
    // Serves the engine as the Agent's loop would until `done` holds or `limit` passes;
    // false when it never held.
    bool PumpUntil(const std::function<bool()>& done,
                   std::chrono::milliseconds limit = std::chrono::seconds(20));
    // Serves the engine for a while, for checking that nothing more happens.
    void PumpFor(std::chrono::milliseconds time);
    void Restart();

private:
    TempDir dir_;
    agentd::WatchTiming timing_;
    agentd::DailyLog log_;
    RecordingSink sink_;
    std::unique_ptr<agentd::WatchEngine> engine_;
    std::vector<settings::WatchRow> rows_;
};

}  // namespace kv::test

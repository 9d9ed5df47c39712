#pragma once

#include <string>

#include "agentd/CommandRunner.h"
#include "agentd/DailyLog.h"
#include "agentd/FiredRow.h"
#include "agentd/MailQueue.h"

namespace kv::agentd {

struct ActionSettings {
    std::string spoolDirectory;
    std::string ipAddress;  // the value of "\IPAddress\"
    MailRetry retry;
    CommandLimits commands;
};

// What a fired row does: logs the hit, mails the row's addresses and runs its command.
// Fire only prepares and enqueues; mail and commands run on threads of their own.
class ActionRunner : public FiredRowSink {
public:
    ActionRunner(ActionSettings settings, DailyLog& log);
    ~ActionRunner() override;

    void Fire(const FiredRow& fired) override;
    // Stops mail and commands; unsent mail stays in the spool.
    void Stop();

private:
    void Mail(const FiredRow& fired);
    void Command(const FiredRow& fired);
    void Report(const CommandJob& job, const CommandResult& result);

    std::string ipAddress_;
    DailyLog& log_;
    MailQueue mail_;
    CommandRunner commands_;
};

}  // namespace kv::agentd

#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "agentd/MailSpool.h"

namespace kv::agentd {

struct MailRetry {
    std::chrono::seconds firstDelay{30};
    std::chrono::seconds maxDelay{900};
    // A mail not accepted within this time after it was queued is given up.
    std::chrono::seconds giveUpAfter{24 * 3600};
    std::chrono::seconds attemptTimeout{60};
};

// Sends mails on a thread of its own. Every mail goes to the spool first and leaves it
// only when the server accepted it or it was given up, so a restart resumes the rest.
// Every attempt is reported through `log` (Shift_JIS lines).
class MailQueue {
public:
    using Log = std::function<void(std::string_view sjisLine)>;

    MailQueue(std::string spoolDirectory, MailRetry retry, Log log);
    ~MailQueue();
    MailQueue(const MailQueue&) = delete;
    MailQueue& operator=(const MailQueue&) = delete;

    // Takes a new mail (id, attempts and times are filled in here); never blocks on I/O.
    void Submit(SpooledMail mail);
    // Ends the thread, spooling what was submitted and not yet spooled.
    void Stop();

private:
    void Work();
    void Attempt(SpooledMail& mail);
    void SpoolSubmitted(std::unique_lock<std::mutex>& lock);

    MailSpool spool_;
    MailRetry retry_;
    Log log_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<SpooledMail> submitted_;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

}  // namespace kv::agentd

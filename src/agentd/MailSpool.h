#pragma once

#include <ctime>
#include <string>
#include <vector>

namespace kv::agentd {

// A mail waiting to be sent, with its envelope and its history of attempts.
struct SpooledMail {
    std::string id;   // the spool file's name; unique, ordered by creation
    std::string url;  // smtp://host:port
    std::string from;
    std::vector<std::string> to;
    std::string subject;  // Shift_JIS, for the log only
    std::string message;
    int attempts = 0;
    std::time_t queued = 0;
    std::time_t nextAttempt = 0;
};

// Unsent mails, one file each in a directory of the state directory, written atomically so
// that a restart finds every mail that was not yet accepted. Used by one thread.
class MailSpool {
public:
    // Creates the directory if needed; throws store::EInOutError when it cannot.
    explicit MailSpool(std::string directory);

    // A fresh id for a new mail.
    std::string NewId();
    // Writes or rewrites the mail's file; throws store::EInOutError.
    void Save(const SpooledMail& mail) const;
    void Remove(const SpooledMail& mail) const;
    // Every readable mail in the directory, oldest first. Unreadable files are left alone.
    std::vector<SpooledMail> Load() const;

private:
    std::string directory_;
    unsigned long sequence_ = 0;
};

}  // namespace kv::agentd

#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "support/ChildProcess.h"
#include "support/TempDir.h"

namespace kv::test {

// A message as the test SMTP server stored it, decoded by Python's email package.
struct StoredMail {
    std::string from;
    std::string to;  // recipients joined by commas
    std::string subject;
    std::string charset;
    std::string body;  // LF line ends
};

// smtp_sink.py on 127.0.0.1 (python3-aiosmtpd), stopped when the object goes. While
// Failing(true), it answers every message with a temporary 451.
class SmtpSink {
public:
    SmtpSink();

    std::uint16_t Port() const { return port_; }
    std::string Server() const { return "127.0.0.1:" + std::to_string(port_); }
    void Failing(bool failing) const;
    // The messages stored so far, once at least `count` are there or the time is up.
    std::vector<StoredMail> WaitFor(std::size_t count, std::chrono::milliseconds timeout) const;

private:
    TempDir dir_;
    std::unique_ptr<ChildProcess> process_;
    std::uint16_t port_ = 0;
};

}  // namespace kv::test

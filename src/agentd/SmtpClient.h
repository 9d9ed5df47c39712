#pragma once

#include <atomic>
#include <chrono>
#include <string>
#include <vector>

namespace kv::agentd {

struct SmtpResult {
    bool accepted = false;
    // The server refused for good (a 5xx reply): trying again cannot help.
    bool permanent = false;
    // The server's last reply line, or what went wrong before there was one.
    std::string reply;
};

// Sends one message through libcurl's SMTP. Blocks for at most `timeout`, less when
// `cancel` becomes true.
SmtpResult SendMail(const std::string& url, const std::string& from,
                    const std::vector<std::string>& to, const std::string& message,
                    std::chrono::seconds timeout, const std::atomic<bool>& cancel);

}  // namespace kv::agentd

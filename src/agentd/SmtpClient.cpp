#include "agentd/SmtpClient.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>

#include <curl/curl.h>

namespace kv::agentd {
namespace {

struct Transfer {
    const std::string* message = nullptr;
    std::size_t sent = 0;
    std::string lastReply;
    const std::atomic<bool>* cancel = nullptr;
};

std::size_t ReadMessage(char* buffer, std::size_t size, std::size_t count, void* user) {
    auto& transfer = *static_cast<Transfer*>(user);
    const std::size_t n = std::min(size * count, transfer.message->size() - transfer.sent);
    std::memcpy(buffer, transfer.message->data() + transfer.sent, n);
    transfer.sent += n;
    return n;
}

// The server's reply lines come through the debug hook; the last one is kept for the log.
int WatchReplies(CURL*, curl_infotype type, char* data, std::size_t size, void* user) {
    if (type == CURLINFO_HEADER_IN) {
        std::string line(data, size);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
            line.pop_back();
        }
        static_cast<Transfer*>(user)->lastReply = line;
    }
    return 0;
}

int CheckCancel(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<Transfer*>(user)->cancel->load() ? 1 : 0;
}

void GlobalInit() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

}  // namespace

SmtpResult SendMail(const std::string& url, const std::string& from,
                    const std::vector<std::string>& to, const std::string& message,
                    std::chrono::seconds timeout, const std::atomic<bool>& cancel) {
    GlobalInit();
    const std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(),
                                                                   &curl_easy_cleanup);
    if (!curl) {
        return {false, false, "cannot start libcurl"};
    }
    curl_slist* list = nullptr;
    for (const std::string& recipient : to) {
        list = curl_slist_append(list, ("<" + recipient + ">").c_str());
    }
    const std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)> recipients(
        list, &curl_slist_free_all);
    Transfer transfer{&message, 0, {}, &cancel};
    const std::string sender = "<" + from + ">";
    CURL* handle = curl.get();
    curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "smtp");
    curl_easy_setopt(handle, CURLOPT_MAIL_FROM, sender.c_str());
    curl_easy_setopt(handle, CURLOPT_MAIL_RCPT, recipients.get());
    curl_easy_setopt(handle, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(handle, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(message.size()));
    curl_easy_setopt(handle, CURLOPT_READFUNCTION, &ReadMessage);
    curl_easy_setopt(handle, CURLOPT_READDATA, &transfer);
    curl_easy_setopt(handle, CURLOPT_DEBUGFUNCTION, &WatchReplies);
    curl_easy_setopt(handle, CURLOPT_DEBUGDATA, &transfer);
    curl_easy_setopt(handle, CURLOPT_VERBOSE, 1L);
    curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, &CheckCancel);
    curl_easy_setopt(handle, CURLOPT_XFERINFODATA, &transfer);
    curl_easy_setopt(handle, CURLOPT_TIMEOUT, static_cast<long>(timeout.count()));
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, static_cast<long>(timeout.count()));
    // Signals belong to the Agent's own handlers; libcurl must not use SIGALRM.
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    const CURLcode code = curl_easy_perform(handle);
    long status = 0;
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
    if (code == CURLE_OK) {
        return {true, false, transfer.lastReply};
    }
    std::string reply = transfer.lastReply.empty() ? curl_easy_strerror(code) : transfer.lastReply;
    return {false, status >= 500 && status < 600, std::move(reply)};
}

}  // namespace kv::agentd

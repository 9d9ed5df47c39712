#include "agentd/MailQueue.h"

#include <algorithm>
#include <ctime>
#include <vector>

#include "agentd/SmtpClient.h"
#include "text/Cp932.h"

namespace kv::agentd {
namespace {

std::string Recipients(const SpooledMail& mail) {
    std::string text;
    for (const std::string& recipient : mail.to) {
        text += (text.empty() ? "" : ",") + recipient;
    }
    return text;
}

// Server replies and error texts are ASCII; anything else is shown as "?".
std::string AsciiOnly(std::string text) {
    for (char& c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u >= 0x7F) {
            c = '?';
        }
    }
    return text;
}

}  // namespace

MailQueue::MailQueue(std::string spoolDirectory, MailRetry retry, Log log)
    : spool_(std::move(spoolDirectory)), retry_(retry), log_(std::move(log)) {
    thread_ = std::thread([this] { Work(); });
}

MailQueue::~MailQueue() {
    Stop();
}

void MailQueue::Submit(SpooledMail mail) {
    {
        const std::lock_guard lock(mutex_);
        submitted_.push_back(std::move(mail));
    }
    wake_.notify_one();
}

void MailQueue::Stop() {
    stopping_ = true;
    wake_.notify_one();
    if (thread_.joinable()) {
        thread_.join();
    }
}

void MailQueue::SpoolSubmitted(std::unique_lock<std::mutex>& lock) {
    std::deque<SpooledMail> taken;
    taken.swap(submitted_);
    lock.unlock();
    for (SpooledMail& mail : taken) {
        mail.id = spool_.NewId();
        mail.queued = std::time(nullptr);
        mail.nextAttempt = mail.queued;
        try {
            spool_.Save(mail);
        } catch (const std::exception& error) {
            // Not kept for a retry, but at least tried once.
            log_(text::Sjis("メールを保存できません: ") + AsciiOnly(error.what()));
            Attempt(mail);
        }
    }
    lock.lock();
}

void MailQueue::Work() {
    std::unique_lock lock(mutex_);
    while (true) {
        SpoolSubmitted(lock);
        if (stopping_) {
            return;
        }
        lock.unlock();
        // The spool is the one list of work: mails of a previous run and new ones alike.
        std::vector<SpooledMail> mails = spool_.Load();
        std::time_t now = std::time(nullptr);
        for (SpooledMail& mail : mails) {
            if (stopping_) {
                break;
            }
            if (mail.nextAttempt <= now) {
                Attempt(mail);
                now = std::time(nullptr);
            }
        }
        std::time_t due = 0;
        for (const SpooledMail& mail : spool_.Load()) {
            due = due == 0 ? mail.nextAttempt : std::min(due, mail.nextAttempt);
        }
        lock.lock();
        const auto wait = due == 0 ? std::chrono::seconds(3600)
                                   : std::chrono::seconds(std::max<std::time_t>(due - now, 0));
        if (submitted_.empty() && !stopping_ && wait.count() > 0) {
            wake_.wait_for(lock, wait);
        }
    }
}

void MailQueue::Attempt(SpooledMail& mail) {
    ++mail.attempts;
    const SmtpResult result =
        SendMail(mail.url, mail.from, mail.to, mail.message, retry_.attemptTimeout, stopping_);
    const std::string who = text::Sjis(" 宛先: ") + Recipients(mail) + text::Sjis(" 件名: ") +
                            mail.subject + text::Sjis(" 応答: ") + AsciiOnly(result.reply);
    if (result.accepted) {
        log_(text::Sjis("メールを送信しました。") + who);
        spool_.Remove(mail);
        return;
    }
    if (stopping_) {
        return;
    }
    const std::time_t now = std::time(nullptr);
    auto delay = retry_.firstDelay;
    for (int i = 1; i < mail.attempts && delay < retry_.maxDelay; ++i) {
        delay *= 2;
    }
    delay = std::min(delay, retry_.maxDelay);
    const std::string attempt =
        text::Sjis("（") + std::to_string(mail.attempts) + text::Sjis(" 回目）");
    if (result.permanent || now + delay.count() > mail.queued + retry_.giveUpAfter.count()) {
        log_(text::Sjis("メールを送信できませんでした。再送しません") + attempt + who);
        spool_.Remove(mail);
        return;
    }
    mail.nextAttempt = now + delay.count();
    log_(text::Sjis("メールを送信できませんでした。") + std::to_string(delay.count()) +
         text::Sjis(" 秒後に再送します") + attempt + who);
    try {
        spool_.Save(mail);
    } catch (const std::exception& error) {
        log_(text::Sjis("メールを保存できません: ") + AsciiOnly(error.what()));
    }
}

}  // namespace kv::agentd

#include "agentd/MailSpool.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <sstream>

#include <unistd.h>

#include "store/AtomicFile.h"
#include "store/InOutError.h"

namespace kv::agentd {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kSuffix = ".mail";

// Envelope lines "key value", an empty line, then the message byte for byte.
std::string Serialise(const SpooledMail& mail) {
    std::string text = "url " + mail.url + "\n" + "from " + mail.from + "\n";
    for (const std::string& recipient : mail.to) {
        text += "to " + recipient + "\n";
    }
    text += "subject " + mail.subject + "\n";
    text += "attempts " + std::to_string(mail.attempts) + "\n";
    text += "queued " + std::to_string(mail.queued) + "\n";
    text += "next " + std::to_string(mail.nextAttempt) + "\n\n";
    return text + mail.message;
}

bool Parse(const std::string& bytes, SpooledMail& mail) {
    const auto end = bytes.find("\n\n");
    if (end == std::string::npos) {
        return false;
    }
    std::istringstream envelope(bytes.substr(0, end + 1));
    std::string line;
    try {
        while (std::getline(envelope, line)) {
            const auto space = line.find(' ');
            const std::string key = line.substr(0, space);
            const std::string value = space == std::string::npos ? "" : line.substr(space + 1);
            if (key == "url") {
                mail.url = value;
            } else if (key == "from") {
                mail.from = value;
            } else if (key == "to") {
                mail.to.push_back(value);
            } else if (key == "subject") {
                mail.subject = value;
            } else if (key == "attempts") {
                mail.attempts = std::stoi(value);
            } else if (key == "queued") {
                mail.queued = std::stoll(value);
            } else if (key == "next") {
                mail.nextAttempt = std::stoll(value);
            }
        }
    } catch (const std::exception&) {
        return false;
    }
    mail.message = bytes.substr(end + 2);
    return !mail.url.empty() && !mail.to.empty();
}

}  // namespace

MailSpool::MailSpool(std::string directory) : directory_(std::move(directory)) {
    std::error_code error;
    fs::create_directories(directory_, error);
    if (error) {
        throw store::EInOutError("cannot create the mail spool " + directory_ + ": " +
                                 error.message());
    }
}

std::string MailSpool::NewId() {
    // Time first so that names sort by age; pid and sequence keep them unique.
    char name[64];
    std::snprintf(name, sizeof name, "%012lld-%d-%06lu", static_cast<long long>(std::time(nullptr)),
                  static_cast<int>(getpid()), ++sequence_);
    return name;
}

void MailSpool::Save(const SpooledMail& mail) const {
    store::WriteFileAtomically(directory_ + "/" + mail.id + std::string(kSuffix), Serialise(mail));
}

void MailSpool::Remove(const SpooledMail& mail) const {
    ::unlink((directory_ + "/" + mail.id + std::string(kSuffix)).c_str());
}

std::vector<SpooledMail> MailSpool::Load() const {
    std::vector<SpooledMail> mails;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(directory_, error)) {
        const std::string name = entry.path().filename().string();
        if (!name.ends_with(kSuffix) || !entry.is_regular_file(error)) {
            continue;
        }
        std::string bytes;
        SpooledMail mail;
        mail.id = name.substr(0, name.size() - kSuffix.size());
        if (store::ReadWholeFile(entry.path().string(), bytes) && Parse(bytes, mail)) {
            mails.push_back(std::move(mail));
        }
    }
    std::sort(mails.begin(), mails.end(),
              [](const SpooledMail& a, const SpooledMail& b) { return a.id < b.id; });
    return mails;
}

}  // namespace kv::agentd

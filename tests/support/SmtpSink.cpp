#include "support/SmtpSink.h"

#include <algorithm>
#include <filesystem>
#include <stdexcept>
#include <thread>

#include <unistd.h>

namespace kv::test {
namespace {

namespace fs = std::filesystem;

StoredMail ParseStored(const std::string& text) {
    StoredMail mail;
    const auto head = text.find("\n\n");
    std::string_view rest(text.data(), head == std::string::npos ? text.size() : head);
    for (std::string* field : {&mail.from, &mail.to, &mail.subject, &mail.charset}) {
        const auto end = rest.find('\n');
        const std::string_view line = rest.substr(0, end);
        const auto space = line.find(' ');
        *field = space == std::string_view::npos ? "" : std::string(line.substr(space + 1));
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    }
    mail.body = head == std::string::npos ? "" : text.substr(head + 2);
    return mail;
}

}  // namespace

SmtpSink::SmtpSink() {
    fs::create_directory(dir_.File("mail"));
    const std::string script = KV_TEST_SUPPORT_DIR "/smtp_sink.py";
    process_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{"/usr/bin/python3", script, dir_.File("mail"), dir_.File("fail")});
    const std::string line = process_->FirstLine(std::chrono::seconds(20));
    if (!line.starts_with("port ")) {
        throw std::runtime_error("smtp_sink.py did not start: " + process_->Output());
    }
    port_ = static_cast<std::uint16_t>(std::stoi(line.substr(5)));
}

void SmtpSink::Failing(bool failing) const {
    if (failing) {
        dir_.Write("fail", "");
    } else {
        ::unlink(dir_.File("fail").c_str());
    }
}

std::vector<StoredMail> SmtpSink::WaitFor(std::size_t count,
                                          std::chrono::milliseconds timeout) const {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::vector<std::string> names;
    while (true) {
        names.clear();
        for (const auto& entry : fs::directory_iterator(dir_.File("mail"))) {
            if (entry.path().extension() == ".txt") {
                names.push_back(entry.path().filename().string());
            }
        }
        if (names.size() >= count || std::chrono::steady_clock::now() >= deadline) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::sort(names.begin(), names.end());
    std::vector<StoredMail> mails;
    for (const std::string& name : names) {
        mails.push_back(ParseStored(dir_.Read("mail/" + name)));
    }
    return mails;
}

}  // namespace kv::test

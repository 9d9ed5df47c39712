#include "agentd/ActionRunner.h"

#include <atomic>
#include <ctime>

#include <unistd.h>

#include "agentd/MailMessage.h"
#include "text/Cp932.h"

namespace kv::agentd {
namespace {

// The environment cannot take NUL, and exec refuses strings over 128 KiB.
constexpr std::size_t kMaxEnvironmentValue = 64 * 1024;

// UTF-8 as Shift_JIS for the log; characters Shift_JIS lacks become "?".
std::string LogText(std::string_view utf8) {
    if (auto whole = text::Utf8ToCp932(utf8)) {
        return *whole;
    }
    std::string out;
    for (std::size_t at = 0; at < utf8.size();) {
        std::size_t length = 1;
        const auto lead = static_cast<unsigned char>(utf8[at]);
        length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        const auto one = text::Utf8ToCp932(utf8.substr(at, length));
        out += one ? *one : "?";
        at += length;
    }
    return out;
}

std::string EnvironmentValue(std::string_view raw) {
    std::string value(raw.substr(0, kMaxEnvironmentValue));
    for (char& c : value) {
        if (c == '\0') {
            c = '?';
        }
    }
    return value;
}

std::string MessageId() {
    static std::atomic<unsigned long> sequence{0};
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    return std::to_string(std::time(nullptr)) + "." + std::to_string(getpid()) + "." +
           std::to_string(++sequence) + "@" + (host[0] != '\0' ? host : "localhost");
}

}  // namespace

ActionRunner::ActionRunner(ActionSettings settings, DailyLog& log)
    : ipAddress_(std::move(settings.ipAddress)),
      log_(log),
      mail_(std::move(settings.spoolDirectory), settings.retry,
            [this](std::string_view line) { log_.Append(line); }),
      commands_(settings.commands, [this](const CommandJob& job, const CommandResult& result) {
          Report(job, result);
      }) {}

ActionRunner::~ActionRunner() {
    Stop();
}

void ActionRunner::Stop() {
    commands_.Stop();
    mail_.Stop();
}

void ActionRunner::Fire(const FiredRow& fired) {
    log_.Append(fired.row.FileName + text::Sjis(" で「") + fired.row.SearchString +
                text::Sjis("」を ") + fired.row.SearchCount + text::Sjis(" 回検出しました。 行: ") +
                LogText(LogLineToUtf8(fired.resultLine)));
    if (!fired.row.MailAddress.empty()) {
        Mail(fired);
    }
    if (!fired.row.Command.empty()) {
        Command(fired);
    }
}

void ActionRunner::Mail(const FiredRow& fired) {
    const auto recipients = SplitRecipients(fired.row.MailAddress);
    const auto server = ParseSmtpServer(fired.mail.SMTPServer);
    const std::string& from = fired.mail.FromMailAddress;
    const char* problem = !recipients || recipients->empty() ? "宛先が正しくありません"
                          : !server               ? "SMTPサーバが正しくありません"
                          : !IsPlainAddress(from) ? "送信元メールアドレスが正しくありません"
                                                  : nullptr;
    if (problem != nullptr) {
        log_.Append(text::Sjis("メールを送信できません: ") + text::Sjis(problem) +
                    text::Sjis(" 宛先: ") + fired.row.MailAddress + text::Sjis(" SMTPサーバ: ") +
                    fired.mail.SMTPServer + text::Sjis(" 送信元: ") + from);
        return;
    }
    const Placeholders values{
        text::Cp932ToUtf8(fired.serverName),      ipAddress_,
        text::Cp932ToUtf8(fired.row.FileName),    text::Cp932ToUtf8(fired.row.SearchString),
        text::Cp932ToUtf8(fired.row.SearchCount), LogLineToUtf8(fired.resultLine),
    };
    // Expanded after conversion: in Shift_JIS a backslash byte may be half of a character.
    MailParts parts;
    parts.from = from;
    parts.to = *recipients;
    parts.subject = ExpandPlaceholders(text::Cp932ToUtf8(fired.mail.MailSubject), values);
    parts.body = ExpandPlaceholders(text::Cp932ToUtf8(fired.mail.MailBody), values);
    parts.date = std::time(nullptr);
    parts.messageId = MessageId();

    SpooledMail mail;
    mail.url = "smtp://" + server->host + ":" + std::to_string(server->port);
    mail.from = from;
    mail.to = *recipients;
    mail.subject = LogText(parts.subject);
    mail.message = ComposeMessage(parts);
    mail_.Submit(std::move(mail));
}

void ActionRunner::Command(const FiredRow& fired) {
    CommandJob job;
    job.command = text::Cp932ToUtf8(fired.row.Command);
    job.environment = {
        {"KV_SERVER_NAME", text::Cp932ToUtf8(fired.serverName)},
        {"KV_WATCH_FILE", text::Cp932ToUtf8(fired.row.FileName)},
        {"KV_WATCH_STRING", text::Cp932ToUtf8(fired.row.SearchString)},
        {"KV_WATCH_NUM", text::Cp932ToUtf8(fired.row.SearchCount)},
        {"KV_RESULT_LINE", EnvironmentValue(fired.resultLine)},
    };
    if (!commands_.Submit(std::move(job))) {
        log_.Append(text::Sjis("コマンドを実行できません: 実行待ちのコマンドが多すぎます。 ") +
                    fired.row.Command);
    }
}

void ActionRunner::Report(const CommandJob& job, const CommandResult& result) {
    const std::string command = LogText(job.command);
    if (!result.started) {
        log_.Append(text::Sjis("コマンドを実行できません: ") + command + " (" + result.error + ")");
        return;
    }
    std::string outcome = result.timedOut ? text::Sjis(" 時間切れのため停止しました。")
                          : result.signal != 0
                              ? text::Sjis(" シグナル ") + std::to_string(result.signal)
                              : text::Sjis(" 終了コード ") + std::to_string(result.exitStatus);
    log_.Append(text::Sjis("コマンドを実行しました。 ") + command + outcome + text::Sjis(" 出力 ") +
                std::to_string(result.outputBytes) + text::Sjis(" バイト"));
    std::string_view output = result.output;
    while (!output.empty()) {
        const auto end = output.find('\n');
        log_.Append(text::Sjis("  出力: ") + LogText(LogLineToUtf8(output.substr(0, end))));
        output.remove_prefix(end == std::string_view::npos ? output.size() : end + 1);
    }
}

}  // namespace kv::agentd

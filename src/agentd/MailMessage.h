#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kv::agentd {

// The mail an action sends: placeholders, addresses and the MIME message itself.
// Messages are UTF-8 with a Base64 body and RFC 2047 subject: unlike ISO-2022-JP, UTF-8
// carries every character a Shift_JIS setting or a log line can hold (half-width kana,
// the NEC and IBM extensions such as "①" or "㈱"), and every current Japanese mail reader
// shows it.

struct SmtpServer {
    std::string host;
    std::uint16_t port = 25;
};

// "host" or "host:port" ("[v6]:port" too); nullopt for anything a URL could be bent by.
std::optional<SmtpServer> ParseSmtpServer(std::string_view text);

// Recipients separated by commas or semicolons, blanks around them dropped. nullopt when
// one of them is not a plain address (no blanks, brackets or control bytes, one "@").
std::optional<std::vector<std::string>> SplitRecipients(std::string_view text);
bool IsPlainAddress(std::string_view address);

// The values of the placeholders, UTF-8.
struct Placeholders {
    std::string serverName;
    std::string ipAddress;
    std::string watchFile;
    std::string watchString;
    std::string watchNum;
    std::string resultLine;
};

// Replaces "\ServerName\", "\IPAddress\", "\WatchFile\", "\WatchString\", "\WatchNum\" and
// "\ResultLine\" in a UTF-8 text; other backslashes stay as they are.
std::string ExpandPlaceholders(std::string_view utf8Text, const Placeholders& values);

// A matched log line as UTF-8: kept when it is UTF-8, else read as EUC-JP when it is
// that, else as Shift_JIS. Control bytes become "?" so the line cannot break a header.
std::string LogLineToUtf8(std::string_view raw);

struct MailParts {
    std::string from;
    std::vector<std::string> to;
    std::string subject;  // UTF-8, one line
    std::string body;     // UTF-8, line breaks as TAB, CR LF, CR or LF
    std::time_t date = 0;
    std::string messageId;  // without the angle brackets
};

// The whole message, headers and Base64 body, lines ending in CR LF.
std::string ComposeMessage(const MailParts& parts);

}  // namespace kv::agentd

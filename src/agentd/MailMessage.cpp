#include "agentd/MailMessage.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <ctime>

#include "agent/Base64.h"
#include "text/Cp932.h"
#include "text/JapaneseConversion.h"

namespace kv::agentd {
namespace {

constexpr std::array<std::string_view, 6> kPlaceholderNames = {
    "\\ServerName\\",  "\\IPAddress\\", "\\WatchFile\\",
    "\\WatchString\\", "\\WatchNum\\",  "\\ResultLine\\",
};

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

bool IsHostName(std::string_view host) {
    return !host.empty() && std::all_of(host.begin(), host.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '.' || c == '-' || c == '_';
    });
}

// Length of the UTF-8 sequence starting at `at`, 0 when it is not a valid one.
std::size_t Utf8Sequence(std::string_view text, std::size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    std::size_t length = 0;
    char32_t minimum = 0;
    char32_t code = 0;
    if (lead < 0x80) {
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2, minimum = 0x80, code = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, minimum = 0x800, code = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, minimum = 0x10000, code = lead & 0x07;
    } else {
        return 0;
    }
    if (at + length > text.size()) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[at + i]);
        if ((next & 0xC0) != 0x80) {
            return 0;
        }
        code = (code << 6) | (next & 0x3F);
    }
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    return code < minimum || code > 0x10FFFF || surrogate ? 0 : length;
}

bool IsUtf8(std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = Utf8Sequence(text, at);
        if (length == 0) {
            return false;
        }
        at += length;
    }
    return true;
}

bool IsEucJp(std::string_view text) {
    const auto high = [](unsigned char c) { return c >= 0xA1 && c <= 0xFE; };
    for (std::size_t at = 0; at < text.size();) {
        const auto c = static_cast<unsigned char>(text[at]);
        std::size_t length = 1;
        if (c == 0x8E) {
            length = 2;
            if (at + 1 >= text.size()) {
                return false;
            }
            const auto kana = static_cast<unsigned char>(text[at + 1]);
            if (kana < 0xA1 || kana > 0xDF) {
                return false;
            }
        } else if (c == 0x8F) {
            length = 3;
            if (at + 2 >= text.size() || !high(text[at + 1]) || !high(text[at + 2])) {
                return false;
            }
        } else if (c >= 0x80) {
            length = 2;
            if (!high(c) || at + 1 >= text.size() || !high(text[at + 1])) {
                return false;
            }
        }
        at += length;
    }
    return true;
}

// Cuts UTF-8 text into pieces of at most `limit` bytes without splitting a character.
std::vector<std::string_view> Utf8Pieces(std::string_view text, std::size_t limit) {
    std::vector<std::string_view> pieces;
    while (!text.empty()) {
        std::size_t cut = 0;
        while (cut < text.size()) {
            const std::size_t length = std::max<std::size_t>(Utf8Sequence(text, cut), 1);
            if (cut + length > limit) {
                break;
            }
            cut += length;
        }
        pieces.push_back(text.substr(0, cut));
        text.remove_prefix(cut);
    }
    return pieces;
}

bool IsPlainAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u >= 0x20 && u < 0x7F;
    });
}

// RFC 2047: encoded words of at most 75 characters, folded onto continuation lines.
std::string EncodedHeader(std::string_view name, std::string_view utf8) {
    std::string header(name);
    header += ':';
    if (IsPlainAscii(utf8) && utf8.size() <= 900) {
        return header + (utf8.empty() ? "" : " ") + std::string(utf8) + "\r\n";
    }
    // 39 bytes make 52 Base64 characters: "Subject: =?UTF-8?B?...?=" stays within 78.
    bool first = true;
    for (const std::string_view piece : Utf8Pieces(utf8, 39)) {
        header += first ? " " : "\r\n ";
        header += "=?UTF-8?B?" + agent::Base64Encode(piece) + "?=";
        first = false;
    }
    return header + "\r\n";
}

std::string DateHeader(std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    static constexpr std::array<const char*, 7> kDays = {"Sun", "Mon", "Tue", "Wed",
                                                         "Thu", "Fri", "Sat"};
    static constexpr std::array<const char*, 12> kMonths = {
        "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::array<char, 64> zone{};
    std::strftime(zone.data(), zone.size(), "%H:%M:%S %z", &local);
    return std::string(kDays[local.tm_wday]) + ", " + std::to_string(local.tm_mday) + " " +
           kMonths[local.tm_mon] + " " + std::to_string(local.tm_year + 1900) + " " + zone.data();
}

std::string CrLfLines(std::string_view body) {
    std::string out;
    out.reserve(body.size() + body.size() / 16);
    for (std::size_t i = 0; i < body.size(); ++i) {
        const char c = body[i];
        if (c == '\t' || c == '\n') {
            out += "\r\n";
        } else if (c == '\r') {
            out += "\r\n";
            if (i + 1 < body.size() && body[i + 1] == '\n') {
                ++i;
            }
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace

std::optional<SmtpServer> ParseSmtpServer(std::string_view text) {
    text = Trimmed(text);
    SmtpServer server;
    std::string_view host = text;
    std::string_view port;
    if (text.starts_with('[')) {
        const auto close = text.find(']');
        if (close == std::string_view::npos) {
            return std::nullopt;
        }
        host = text.substr(1, close - 1);
        const std::string_view rest = text.substr(close + 1);
        if (!rest.empty() && (!rest.starts_with(':') || rest.size() == 1)) {
            return std::nullopt;
        }
        port = rest.empty() ? rest : rest.substr(1);
        const bool v6 = !host.empty() && std::all_of(host.begin(), host.end(), [](char c) {
            return std::isxdigit(static_cast<unsigned char>(c)) || c == ':' || c == '.';
        });
        if (!v6) {
            return std::nullopt;
        }
        // Built up in place: "[" + text trips GCC 12's false -Wrestrict at -O3.
        server.host.assign(1, '[').append(host).push_back(']');
    } else {
        if (const auto colon = text.find(':'); colon != std::string_view::npos) {
            host = text.substr(0, colon);
            port = text.substr(colon + 1);
            if (port.empty()) {
                return std::nullopt;
            }
        }
        if (!IsHostName(host)) {
            return std::nullopt;
        }
        server.host = std::string(host);
    }
    if (!port.empty()) {
        unsigned value = 0;
        const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), value);
        if (error != std::errc() || end != port.data() + port.size() || value == 0 ||
            value > 65535) {
            return std::nullopt;
        }
        server.port = static_cast<std::uint16_t>(value);
    }
    return server;
}

bool IsPlainAddress(std::string_view address) {
    const auto at = address.find('@');
    if (at == 0 || at == std::string_view::npos || at + 1 == address.size() ||
        address.find('@', at + 1) != std::string_view::npos) {
        return false;
    }
    return std::none_of(address.begin(), address.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u <= 0x20 || u >= 0x7F || c == '<' || c == '>' || c == '(' || c == ')' || c == ',' ||
               c == ';' || c == '"' || c == '\\';
    });
}

std::optional<std::vector<std::string>> SplitRecipients(std::string_view text) {
    std::vector<std::string> recipients;
    while (true) {
        const auto end = text.find_first_of(",;");
        const std::string_view one = Trimmed(text.substr(0, end));
        if (!one.empty()) {
            if (!IsPlainAddress(one)) {
                return std::nullopt;
            }
            recipients.emplace_back(one);
        }
        if (end == std::string_view::npos) {
            return recipients;
        }
        text.remove_prefix(end + 1);
    }
}

std::string ExpandPlaceholders(std::string_view utf8Text, const Placeholders& values) {
    const std::array<const std::string*, 6> replacements = {
        &values.serverName,  &values.ipAddress, &values.watchFile,
        &values.watchString, &values.watchNum,  &values.resultLine,
    };
    std::string out;
    out.reserve(utf8Text.size());
    for (std::size_t at = 0; at < utf8Text.size();) {
        bool replaced = false;
        if (utf8Text[at] == '\\') {
            for (std::size_t i = 0; i < kPlaceholderNames.size(); ++i) {
                if (utf8Text.substr(at).starts_with(kPlaceholderNames[i])) {
                    out += *replacements[i];
                    at += kPlaceholderNames[i].size();
                    replaced = true;
                    break;
                }
            }
        }
        if (!replaced) {
            out += utf8Text[at++];
        }
    }
    return out;
}

std::string LogLineToUtf8(std::string_view raw) {
    std::string utf8;
    if (IsUtf8(raw)) {
        utf8 = raw;
    } else if (IsEucJp(raw)) {
        utf8 = text::Cp932ToUtf8(text::EucToSjis(raw));
    } else {
        utf8 = text::Cp932ToUtf8(raw);
    }
    for (char& c : utf8) {
        const auto u = static_cast<unsigned char>(c);
        if ((u < 0x20 && c != '\t') || u == 0x7F) {
            c = '?';
        }
    }
    return utf8;
}

std::string ComposeMessage(const MailParts& parts) {
    std::string message = "From: " + parts.from + "\r\n";
    std::string to;
    for (const std::string& recipient : parts.to) {
        to += (to.empty() ? "" : ",\r\n ") + recipient;
    }
    message += "To: " + to + "\r\n";
    std::string subject = parts.subject;
    std::replace_if(
        subject.begin(), subject.end(),
        [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }, ' ');
    message += EncodedHeader("Subject", subject);
    message += "Date: " + DateHeader(parts.date) + "\r\n";
    message += "Message-ID: <" + parts.messageId + ">\r\n";
    message += "MIME-Version: 1.0\r\n";
    message += "Content-Type: text/plain; charset=UTF-8\r\n";
    message += "Content-Transfer-Encoding: base64\r\n";
    message += "\r\n";
    std::string text = CrLfLines(parts.body);
    if (!text.empty() && !text.ends_with("\r\n")) {
        text += "\r\n";
    }
    const std::string body = agent::Base64Encode(text);
    for (std::size_t at = 0; at < body.size(); at += 76) {
        message += body.substr(at, 76) + "\r\n";
    }
    return message;
}

}  // namespace kv::agentd

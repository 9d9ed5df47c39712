#include "cli/Terminal.h"

#include <cerrno>
#include <optional>

#include "cli/OutputClosed.h"
#include "cli/UsageError.h"
#include "text/Cp932.h"

namespace kv::cli {

Terminal::Terminal(std::ostream& out, std::ostream& err, bool raw)
    : out_(out), err_(err), raw_(raw) {}

void Terminal::Print(std::string_view sjis) {
    if (raw_) {
        Write(sjis);
        return;
    }
    Write(text::Cp932ToUtf8(sjis, utf8_));
}

void Terminal::Write(std::string_view bytes) {
    out_.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out_ && errno == EPIPE) {
        throw OutputClosed{};
    }
}

void Terminal::Message(std::string_view sjis) {
    // Standard output first, so that results and messages keep their order on one terminal.
    out_.flush();
    if (raw_) {
        err_.write(sjis.data(), static_cast<std::streamsize>(sjis.size()));
    } else {
        err_ << text::Cp932ToUtf8(sjis);
    }
    err_ << '\n';
    err_.flush();
}

void Terminal::Note(std::string_view text) {
    out_.flush();
    err_ << text << '\n';
    err_.flush();
}

std::string Terminal::FromArgument(std::string_view text, std::string_view what) const {
    if (raw_) {
        return std::string(text);
    }
    std::optional<std::string> sjis = text::Utf8ToCp932(text);
    if (!sjis) {
        throw UsageError(std::string(what) + " holds a character that Shift_JIS cannot carry");
    }
    return std::move(*sjis);
}

}  // namespace kv::cli

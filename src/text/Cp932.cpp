#include "text/Cp932.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <stdexcept>

#include <iconv.h>

namespace kv::text {

namespace {

struct IconvCloser {
    void operator()(void* cd) const { iconv_close(static_cast<iconv_t>(cd)); }
};
using Iconv = std::unique_ptr<void, IconvCloser>;

Iconv OpenIconv(const char* to, const char* from) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        throw std::runtime_error(std::string("iconv cannot convert ") + from + " to " + to);
    }
    return Iconv(cd);
}

enum class OnInvalid { Replace, Refuse };

// Converts `in` whole. An invalid or unconvertible sequence, or one cut off by the end,
// either becomes U+FFFD for its first byte (the conversion resumes on the next byte) or
// refuses the whole text.
std::optional<std::string> Convert(const char* to, const char* from, std::string_view in,
                                   OnInvalid onInvalid) {
    static constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
    const Iconv cd = OpenIconv(to, from);
    std::string out(in.size() * 2 + 16, '\0');
    std::size_t used = 0;
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size();
    while (srcLeft > 0) {
        char* dst = out.data() + used;
        std::size_t dstLeft = out.size() - used;
        const std::size_t rc =
            iconv(static_cast<iconv_t>(cd.get()), &src, &srcLeft, &dst, &dstLeft);
        used = out.size() - dstLeft;
        if (rc != static_cast<std::size_t>(-1)) {
            break;
        }
        if (errno == E2BIG) {
            out.resize(out.size() * 2);
        } else if (errno == EILSEQ || errno == EINVAL) {
            if (onInvalid == OnInvalid::Refuse) {
                return std::nullopt;
            }
            if (out.size() - used < kReplacement.size()) {
                out.resize(out.size() * 2);
            }
            std::memcpy(out.data() + used, kReplacement.data(), kReplacement.size());
            used += kReplacement.size();
            ++src;
            --srcLeft;
        } else {
            throw std::runtime_error(std::string("iconv failed converting ") + from + " to " + to);
        }
    }
    out.resize(used);
    return out;
}

}  // namespace

std::string Cp932ToUtf8(std::string_view sjis) {
    return *Convert("UTF-8", "CP932", sjis, OnInvalid::Replace);
}

std::optional<std::string> Utf8ToCp932(std::string_view utf8) {
    return Convert("CP932", "UTF-8", utf8, OnInvalid::Refuse);
}

std::string Sjis(std::string_view utf8Literal) {
    std::optional<std::string> sjis = Utf8ToCp932(utf8Literal);
    if (!sjis) {
        throw std::logic_error("literal has no Shift_JIS form: " + std::string(utf8Literal));
    }
    return *std::move(sjis);
}

}  // namespace kv::text

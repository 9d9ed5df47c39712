#include "text/Cp932.h"

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <vector>

#include <iconv.h>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

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

// Converts `in` whole; nullopt when it holds an invalid or unconvertible sequence, or one
// cut off by the end.
std::optional<std::string> Convert(const char* to, const char* from, std::string_view in) {
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
            return std::nullopt;
        } else {
            throw std::runtime_error(std::string("iconv failed converting ") + from + " to " + to);
        }
    }
    out.resize(used);
    return out;
}

// Copies the run of ASCII bytes at p (whole blocks of it; the caller finishes the run) and
// returns where it stopped.
const unsigned char* CopyAscii(const unsigned char* p, const unsigned char* end, char*& o) {
#ifdef __SSE2__
    for (; end - p >= 16; p += 16, o += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        if (_mm_movemask_epi8(bytes) != 0) {
            break;
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o), bytes);
    }
#endif
    std::uint64_t word = 0;
    while (end - p >= 8 && (std::memcpy(&word, p, 8), (word & 0x8080808080808080) == 0)) {
        std::memcpy(o, p, 8);
        o += 8;
        p += 8;
    }
    return p;
}

// CP932 -> UTF-8 by table. glibc's converter runs at about a tenth of the speed of a
// pipe, which made printing a large remote file ten times slower than fetching it; so
// iconv is asked once per code, when the table is first needed, and its answers are kept.
// A table entry is the UTF-8 bytes (at most three: CP932 stays in the BMP) and their count
// in the top byte; a pair iconv refuses is 0, a byte it refuses U+FFFD.
class Cp932Table {
public:
    static const Cp932Table& Get() {
        static const Cp932Table table;
        return table;
    }

    // Writes the UTF-8 of `sjis` to `o`, which has room for three bytes per input byte (the
    // worst case, every byte a three-byte replacement) and one more; returns the bytes
    // written.
    std::size_t Convert(std::string_view sjis, char* const out) const {
        char* o = out;
        const auto* p = reinterpret_cast<const unsigned char*>(sjis.data());
        const auto* end = p + sjis.size();
        while (p < end) {
            p = CopyAscii(p, end, o);
            while (p < end && *p < 0x80) {
                *o++ = static_cast<char>(*p++);
            }
            while (p < end && *p >= 0x80) {
                std::uint32_t code = 0;
                if (isLead_[*p] && end - p > 1 && (code = pair_[(*p - 0x80) * 256 + p[1]]) != 0) {
                    p += 2;
                } else {
                    code = single_[*p];
                    p += 1;
                }
                // All four bytes at once: the last (the length) is overwritten by what follows.
                std::memcpy(o, &code, 4);
                o += code >> 24;
            }
        }
        return static_cast<std::size_t>(o - out);
    }

private:
    Cp932Table() : pair_(128 * 256, 0) {
        const Iconv cd = OpenIconv("UTF-8", "CP932");
        for (int b = 0x80; b < 0x100; ++b) {
            const char one[1] = {static_cast<char>(b)};
            single_[b] = Ask(cd, std::string_view(one, 1), isLead_[b]);
            if (single_[b] == 0) {
                single_[b] = kReplacement;
            }
            if (!isLead_[b]) {
                continue;
            }
            for (int t = 0; t < 0x100; ++t) {
                const char two[2] = {static_cast<char>(b), static_cast<char>(t)};
                bool incomplete = false;
                pair_[(b - 0x80) * 256 + t] = Ask(cd, std::string_view(two, 2), incomplete);
            }
        }
    }

    // The UTF-8 of `in` when iconv converts all of it to one character, else 0;
    // `incomplete` tells a byte that starts a pair.
    static std::uint32_t Ask(const Iconv& cd, std::string_view in, bool& incomplete) {
        iconv(static_cast<iconv_t>(cd.get()), nullptr, nullptr, nullptr, nullptr);
        char* src = const_cast<char*>(in.data());
        std::size_t srcLeft = in.size();
        char buffer[8];
        char* dst = buffer;
        std::size_t dstLeft = sizeof buffer;
        const std::size_t rc =
            iconv(static_cast<iconv_t>(cd.get()), &src, &srcLeft, &dst, &dstLeft);
        incomplete = rc == static_cast<std::size_t>(-1) && errno == EINVAL;
        const std::size_t used = sizeof buffer - dstLeft;
        if (rc == static_cast<std::size_t>(-1) || srcLeft != 0 || used == 0 || used > 3) {
            return 0;
        }
        std::uint32_t code = static_cast<std::uint32_t>(used) << 24;
        for (std::size_t i = 0; i < used; ++i) {
            code |= static_cast<std::uint32_t>(static_cast<unsigned char>(buffer[i])) << (8 * i);
        }
        return code;
    }

    static constexpr std::uint32_t kReplacement = 0x03BDBFEF;  // U+FFFD

    std::array<std::uint32_t, 256> single_{};
    std::array<bool, 256> isLead_{};
    std::vector<std::uint32_t> pair_;
};

}  // namespace

std::string Cp932ToUtf8(std::string_view sjis) {
    std::string out(sjis.size() * 3 + 1, '\0');
    out.resize(Cp932Table::Get().Convert(sjis, out.data()));
    return out;
}

std::string_view Cp932ToUtf8(std::string_view sjis, std::string& buffer) {
    if (buffer.size() < sjis.size() * 3 + 1) {
        buffer.resize(sjis.size() * 3 + 1);
    }
    return {buffer.data(), Cp932Table::Get().Convert(sjis, buffer.data())};
}

std::optional<std::string> Utf8ToCp932(std::string_view utf8) {
    return Convert("CP932", "UTF-8", utf8);
}

std::string Sjis(std::string_view utf8Literal) {
    std::optional<std::string> sjis = Utf8ToCp932(utf8Literal);
    if (!sjis) {
        throw std::logic_error("literal has no Shift_JIS form: " + std::string(utf8Literal));
    }
    return *std::move(sjis);
}

}  // namespace kv::text

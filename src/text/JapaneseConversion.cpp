#include "text/JapaneseConversion.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace kv {

namespace {

using Byte = unsigned char;

// Every arithmetic step below wraps modulo 256, hence the casts back to Byte.
void JisToSjisBytes(Byte j1, Byte j2, Byte* s) {
    s[0] = static_cast<Byte>(static_cast<Byte>(j1 + 1) / 2 + (j1 < 0x5F ? 0x70 : 0xB0));
    if (j1 & 1) {
        s[1] = static_cast<Byte>(j2 + (j2 <= 0x5F ? 0x1F : 0x20));
    } else {
        s[1] = static_cast<Byte>(j2 + 0x7E);
    }
}

void SjisToJisBytes(Byte s1, Byte s2, Byte* j) {
    auto j1 = static_cast<Byte>(2 * (s1 - (s1 < 0xA0 ? 0x70 : 0xB0)));
    Byte j2;
    if (s2 < 0x9F) {
        j1 = static_cast<Byte>(j1 - 1);
        j2 = static_cast<Byte>(s2 - (s2 <= 0x7F ? 0x1F : 0x20));
    } else {
        j2 = static_cast<Byte>(s2 - 0x7E);
    }
    j[0] = j1;
    j[1] = j2;
}

// A walk that needs a byte past the end of the text takes 0.
Byte ByteAt(std::string_view in, std::size_t i) {
    return i < in.size() ? static_cast<Byte>(in[i]) : 0;
}

Byte ByteAt(const Byte* in, std::size_t n, std::size_t i) {
    return i < n ? in[i] : 0;
}

// One step of each walk, writing through a pointer. Returns the position after the step.
std::size_t EucStep(const Byte* in, std::size_t n, std::size_t i, Byte* out, std::size_t& o) {
    const Byte c = in[i];
    if (c <= 0x80 || c == 0xFF) {
        out[o++] = c;
        return i + 1;
    }
    const Byte next = ByteAt(in, n, i + 1);
    if (c == 0x8E) {
        out[o++] = next;
    } else {
        JisToSjisBytes(c & 0x7F, next & 0x7F, out + o);
        o += 2;
    }
    return i + 2;
}

std::size_t SjisStep(const Byte* in, std::size_t n, std::size_t i, Byte* out, std::size_t& o) {
    const Byte c = in[i];
    if (c <= 0x7F) {
        out[o++] = c;
        return i + 1;
    }
    if (c >= 0xA1 && c <= 0xDF) {
        out[o++] = 0x8E;
        out[o++] = c;
        return i + 1;
    }
    SjisToJisBytes(c, ByteAt(in, n, i + 1), out + o);
    out[o] |= 0x80;
    out[o + 1] |= 0x80;
    o += 2;
    return i + 2;
}

// Copies eight bytes at once while they are all ASCII, else takes one step. Both walks
// pass ASCII through unchanged, and neither walk writes more than twice what it reads, so
// an eight-byte copy never outruns a buffer sized for the walk.
template <std::size_t (*Step)(const Byte*, std::size_t, std::size_t, Byte*, std::size_t&)>
void WalkTail(const Byte* in, std::size_t n, std::size_t i, Byte* out, std::size_t& o) {
    constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;
    while (i < n) {
        if (n - i >= 8) {
            std::uint64_t word;
            std::memcpy(&word, in + i, 8);
            if ((word & kHighBits) == 0) {
                std::memcpy(out + o, &word, 8);
                i += 8;
                o += 8;
                continue;
            }
        }
        i = Step(in, n, i, out, o);
    }
}

#ifdef __SSE2__

// Within a block, `takers` marks the bytes that take the following byte with them when the
// walk meets them. The walk enters every run of such bytes at the run's first byte (the
// byte before a run is never taken), so a byte of a run begins a pair exactly when its
// distance from the run's start is even. The sum clears the runs that start at even bits.
unsigned PairStarts(unsigned takers) {
    constexpr unsigned kEven = 0x5555;
    const unsigned runStarts = takers & ~(takers << 1);
    const unsigned evenRuns = takers & ~(takers + (runStarts & kEven));
    return (evenRuns & kEven) | (takers & ~evenRuns & ~kEven);
}

// 16 mask bits -> 16 bytes of 0x00 or 0xFF.
__m128i ExpandBits(unsigned bits) {
    __m128i x = _mm_cvtsi32_si128(static_cast<int>(bits));
    x = _mm_unpacklo_epi8(x, x);
    x = _mm_unpacklo_epi16(x, x);
    x = _mm_unpacklo_epi32(x, x);
    const __m128i select = _mm_set1_epi64x(static_cast<long long>(0x8040201008040201ULL));
    return _mm_cmpeq_epi8(_mm_and_si128(x, select), select);
}

unsigned InRange(__m128i v, Byte low, Byte high) {
    const __m128i rel = _mm_sub_epi8(v, _mm_set1_epi8(static_cast<char>(low)));
    const __m128i span = _mm_set1_epi8(static_cast<char>(high - low));
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_min_epu8(rel, span), rel)));
}

__m128i Bytes(Byte b) {
    return _mm_set1_epi8(static_cast<char>(b));
}

__m128i Select(__m128i mask, __m128i a, __m128i b) {
    return _mm_or_si128(_mm_and_si128(mask, a), _mm_andnot_si128(mask, b));
}

// Converts 16 bytes at a time while the block's output has the block's length: ASCII, and
// pairs (a pair that starts on the last byte is left to the next block). Returns where the
// vector walk stopped; it stops on a character boundary.
std::size_t EucToSjisBlocks(const Byte* in, std::size_t n, Byte* out, std::size_t& o) {
    std::size_t i = 0;
    while (i + 16 <= n) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
        if (_mm_movemask_epi8(v) == 0) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + o), v);
            i += 16;
            o += 16;
            continue;
        }
        const unsigned leads = PairStarts(InRange(v, 0x81, 0xFE));
        const auto kanaPrefixes =
            static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, Bytes(0x8E))));
        if (kanaPrefixes & leads) {
            // A half-width katakana shortens the output: walk this block byte by byte.
            const std::size_t end = i + 16;
            while (i < end) {
                i = EucStep(in, n, i, out, o);
            }
            continue;
        }
        const __m128i leadMask = ExpandBits(leads);
        const __m128i trailMask = _mm_slli_si128(leadMask, 1);
        const __m128i jis = _mm_and_si128(v, Bytes(0x7F));
        // First byte: (j1 + 1) / 2 plus 0x70 below row 0x5F, else plus 0xB0 (0xB0 ^ 0xC0 = 0x70).
        const __m128i lowRow = _mm_cmpgt_epi8(Bytes(0x5F), jis);
        const __m128i first =
            _mm_add_epi8(_mm_avg_epu8(jis, _mm_setzero_si128()),
                         _mm_xor_si128(Bytes(0xB0), _mm_and_si128(lowRow, Bytes(0xC0))));
        // Second byte: depends on the parity of its first byte, one position back.
        const __m128i oddRow =
            _mm_cmpeq_epi8(_mm_and_si128(_mm_slli_si128(v, 1), Bytes(1)), Bytes(1));
        const __m128i oddAdd = _mm_sub_epi8(Bytes(0x1F), _mm_cmpgt_epi8(jis, Bytes(0x5F)));
        const __m128i second = _mm_add_epi8(jis, Select(oddRow, oddAdd, Bytes(0x7E)));
        const __m128i result = Select(leadMask, first, Select(trailMask, second, v));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + o), result);
        const std::size_t done = (leads & 0x8000) ? 15 : 16;
        i += done;
        o += done;
    }
    return i;
}

std::size_t SjisToEucBlocks(const Byte* in, std::size_t n, Byte* out, std::size_t& o) {
    std::size_t i = 0;
    const __m128i flip = Bytes(0x80);
    while (i + 16 <= n) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
        const auto high = static_cast<unsigned>(_mm_movemask_epi8(v));
        if (high == 0) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + o), v);
            i += 16;
            o += 16;
            continue;
        }
        const unsigned kana = InRange(v, 0xA1, 0xDF);
        const unsigned leads = PairStarts(high & ~kana);
        if (kana & ~(leads << 1)) {
            // A half-width katakana of its own grows the output: walk this block byte by byte.
            const std::size_t end = i + 16;
            while (i < end) {
                i = SjisStep(in, n, i, out, o);
            }
            continue;
        }
        const __m128i leadMask = ExpandBits(leads);
        const __m128i trailMask = _mm_slli_si128(leadMask, 1);
        const __m128i signedV = _mm_xor_si128(v, flip);
        // Unsigned byte comparisons, done signed on the bytes with their top bit flipped.
        const __m128i below9F = _mm_cmpgt_epi8(Bytes(0x9F ^ 0x80), signedV);
        // First byte: 2 * (s1 - 0x70) below 0xA0, else 2 * (s1 - 0xB0); minus 1 when the
        // second byte, one position on, is below 0x9F.
        const __m128i base = _mm_xor_si128(
            Bytes(0xB0), _mm_and_si128(_mm_cmpgt_epi8(Bytes(0xA0 ^ 0x80), signedV), Bytes(0xC0)));
        const __m128i offset = _mm_sub_epi8(v, base);
        const __m128i first =
            _mm_add_epi8(_mm_add_epi8(offset, offset), _mm_srli_si128(below9F, 1));
        // Second byte: minus 0x1F up to 0x7F, 0x20 up to 0x9E, else 0x7E.
        const __m128i lowSub = _mm_sub_epi8(Bytes(0x1F), _mm_cmplt_epi8(v, _mm_setzero_si128()));
        const __m128i second = _mm_sub_epi8(v, Select(below9F, lowSub, Bytes(0x7E)));
        const __m128i result = Select(leadMask, _mm_or_si128(first, flip),
                                      Select(trailMask, _mm_or_si128(second, flip), v));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + o), result);
        const std::size_t done = (leads & 0x8000) ? 15 : 16;
        i += done;
        o += done;
    }
    return i;
}

#endif

const Byte* BytesOf(std::string_view in) {
    return reinterpret_cast<const Byte*>(in.data());
}

}  // namespace

std::string JisToSjisPair(unsigned char j1, unsigned char j2) {
    std::string pair(2, '\0');
    JisToSjisBytes(j1, j2, reinterpret_cast<Byte*>(pair.data()));
    return pair;
}

std::string SjisToJisPair(unsigned char s1, unsigned char s2) {
    std::string pair(2, '\0');
    SjisToJisBytes(s1, s2, reinterpret_cast<Byte*>(pair.data()));
    return pair;
}

void EucToSjis(std::string_view in, std::string& out) {
    const std::size_t start = out.size();
    // Every step writes at most what it reads, except a pair lead that ends the text,
    // which writes two bytes for one.
    out.resize(start + in.size() + 1);
    Byte* dst = reinterpret_cast<Byte*>(out.data()) + start;
    std::size_t o = 0;
    std::size_t i = 0;
#ifdef __SSE2__
    i = EucToSjisBlocks(BytesOf(in), in.size(), dst, o);
#endif
    WalkTail<EucStep>(BytesOf(in), in.size(), i, dst, o);
    out.resize(start + o);
}

void SjisToEuc(std::string_view in, std::string& out) {
    const std::size_t start = out.size();
    // A half-width katakana or a pair lead that ends the text writes two bytes for one.
    out.resize(start + 2 * in.size());
    Byte* dst = reinterpret_cast<Byte*>(out.data()) + start;
    std::size_t o = 0;
    std::size_t i = 0;
#ifdef __SSE2__
    i = SjisToEucBlocks(BytesOf(in), in.size(), dst, o);
#endif
    WalkTail<SjisStep>(BytesOf(in), in.size(), i, dst, o);
    out.resize(start + o);
}

std::string EucToSjis(std::string_view in) {
    std::string out;
    EucToSjis(in, out);
    return out;
}

std::string SjisToEuc(std::string_view in) {
    std::string out;
    SjisToEuc(in, out);
    return out;
}

namespace detail {

void EucToSjisScalar(std::string_view in, std::string& out) {
    for (std::size_t i = 0; i < in.size();) {
        const Byte c = ByteAt(in, i);
        if (c <= 0x80 || c == 0xFF) {
            out += static_cast<char>(c);
            i += 1;
        } else if (c == 0x8E) {
            out += static_cast<char>(ByteAt(in, i + 1));
            i += 2;
        } else {
            out += JisToSjisPair(c & 0x7F, ByteAt(in, i + 1) & 0x7F);
            i += 2;
        }
    }
}

void SjisToEucScalar(std::string_view in, std::string& out) {
    for (std::size_t i = 0; i < in.size();) {
        const Byte c = ByteAt(in, i);
        if (c <= 0x7F) {
            out += static_cast<char>(c);
            i += 1;
        } else if (c >= 0xA1 && c <= 0xDF) {
            out += '\x8E';
            out += static_cast<char>(c);
            i += 1;
        } else {
            const std::string jis = SjisToJisPair(c, ByteAt(in, i + 1));
            out += static_cast<char>(jis[0] | 0x80);
            out += static_cast<char>(jis[1] | 0x80);
            i += 2;
        }
    }
}

}  // namespace detail

}  // namespace kv

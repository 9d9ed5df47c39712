#include "text/JapaneseConversion.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#ifdef __SSE2__
#include <immintrin.h>
#endif

// Wider blocks are compiled for AVX2 function by function and taken only where the CPU has it.
#if defined(__SSE2__) && defined(__GNUC__)
#define KV_WITH_AVX2 1
#define KV_AVX2 __attribute__((target("avx2")))
#endif

namespace kv::text {

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

#ifdef __SSE2__

// Within a block, `takers` marks the bytes that take the following byte with them when the
// walk meets them. The walk enters every run of such bytes at the run's first byte (the
// byte before a run takes nothing with it), so a byte of a run begins a pair exactly when
// its distance from the run's start is even. The sum clears the runs that start at even bits.
template <class Mask>
Mask PairStarts(Mask takers) {
    constexpr auto kEven = static_cast<Mask>(0x5555555555555555ULL);
    const Mask runStarts = takers & ~(takers << 1);
    const Mask evenRuns = takers & ~(takers + (runStarts & kEven));
    return (evenRuns & kEven) | (takers & ~evenRuns & ~kEven);
}

// 16 mask bits -> 16 bytes of 0x00 or 0xFF.
__m128i ExpandBits(std::uint32_t bits) {
    __m128i x = _mm_cvtsi32_si128(static_cast<int>(bits & 0xFFFF));
    x = _mm_unpacklo_epi8(x, x);
    x = _mm_unpacklo_epi16(x, x);
    x = _mm_unpacklo_epi32(x, x);
    const __m128i select = _mm_set1_epi64x(static_cast<long long>(0x8040201008040201ULL));
    return _mm_cmpeq_epi8(_mm_and_si128(x, select), select);
}

__m128i Load(const Byte* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

void Store(Byte* p, __m128i v) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}

__m128i Bytes(Byte b) {
    return _mm_set1_epi8(static_cast<char>(b));
}

__m128i Select(__m128i mask, __m128i a, __m128i b) {
    return _mm_or_si128(_mm_and_si128(mask, a), _mm_andnot_si128(mask, b));
}

std::uint32_t Bits(__m128i mask) {
    return static_cast<std::uint32_t>(_mm_movemask_epi8(mask));
}

std::uint32_t InRange(__m128i v, Byte low, Byte high) {
    const __m128i rel = _mm_sub_epi8(v, Bytes(low));
    return Bits(_mm_cmpeq_epi8(_mm_min_epu8(rel, Bytes(high - low)), rel));
}

#endif

#ifdef KV_WITH_AVX2

KV_AVX2 __m256i LoadWide(const Byte* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

KV_AVX2 void StoreWide(Byte* p, __m256i v) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}

KV_AVX2 __m256i BytesWide(Byte b) {
    return _mm256_set1_epi8(static_cast<char>(b));
}

KV_AVX2 __m256i SelectWide(__m256i mask, __m256i a, __m256i b) {
    return _mm256_blendv_epi8(b, a, mask);
}

KV_AVX2 std::uint32_t BitsWide(__m256i mask) {
    return static_cast<std::uint32_t>(_mm256_movemask_epi8(mask));
}

KV_AVX2 std::uint32_t InRangeWide(__m256i v, Byte low, Byte high) {
    const __m256i rel = _mm256_sub_epi8(v, BytesWide(low));
    return BitsWide(_mm256_cmpeq_epi8(_mm256_min_epu8(rel, BytesWide(high - low)), rel));
}

// 32 mask bits -> 32 bytes of 0x00 or 0xFF. The byte shuffle stays within 128-bit lanes,
// so each lane picks its two mask bytes from its own copy of the broadcast.
KV_AVX2 __m256i ExpandBitsWide(std::uint32_t bits) {
    const __m256i x =
        _mm256_shuffle_epi8(_mm256_set1_epi32(static_cast<int>(bits)),
                            _mm256_setr_epi8(0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 2, 2,
                                             2, 2, 2, 2, 2, 2, 3, 3, 3, 3, 3, 3, 3, 3));
    const __m256i select = _mm256_set1_epi64x(static_cast<long long>(0x8040201008040201ULL));
    return _mm256_cmpeq_epi8(_mm256_and_si256(x, select), select);
}

// v moved up by one byte across the lane seam, a zero shifted in.
KV_AVX2 __m256i ShiftUpOne(__m256i v) {
    return _mm256_alignr_epi8(v, _mm256_permute2x128_si256(v, v, 0x08), 15);
}

#endif

// The two directions. `Step` takes one step of the walk at a character boundary, writing
// through a pointer, and returns the position after it. `Bound` bounds what a walk writes
// for `count` bytes it steps over, the byte taken past the end included. With SSE2, a
// direction also says what the block converter needs: `Takers` marks the bytes that begin
// a pair when the walk meets them; `Resizers` marks, given where pairs begin and end, the
// bytes whose output is not one byte (such blocks are walked byte by byte); `Convert`
// gives each byte's output from the byte, its neighbours and its place in a pair.
struct EucToSjisRules {
    static std::size_t Step(const Byte* in, std::size_t n, std::size_t i, Byte* out,
                            std::size_t& o) {
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

    // No step writes more bytes than it steps over.
    static std::size_t Bound(std::size_t count) { return count; }

#ifdef __SSE2__
    static std::uint32_t Takers(__m128i v) {
        return InRange(v, 0x81, 0xFE);
    }

    static std::uint32_t Resizers(__m128i v, std::uint32_t leads, std::uint32_t) {
        return Bits(_mm_cmpeq_epi8(v, Bytes(0x8E))) & leads;
    }

    static __m128i Convert(__m128i v, __m128i prev, __m128i, __m128i leads, __m128i trails) {
        const __m128i jis = _mm_and_si128(v, Bytes(0x7F));
        // First byte: (j1 + 1) / 2, plus 0x70 below 0x5F, else plus 0xB0 (0xB0 ^ 0xC0 = 0x70).
        const __m128i lowRow = _mm_cmpgt_epi8(Bytes(0x5F), jis);
        const __m128i first =
            _mm_add_epi8(_mm_avg_epu8(jis, _mm_setzero_si128()),
                         _mm_xor_si128(Bytes(0xB0), _mm_and_si128(lowRow, Bytes(0xC0))));
        // Second byte: plus 0x7E after an even first byte; after an odd one, 0x5F less, or
        // 0x5E less above 0x5F (adding the all-ones mask).
        const __m128i oddRow = _mm_cmpeq_epi8(_mm_and_si128(prev, Bytes(1)), Bytes(1));
        const __m128i oddLess = _mm_add_epi8(Bytes(0x5F), _mm_cmpgt_epi8(jis, Bytes(0x5F)));
        const __m128i second =
            _mm_sub_epi8(_mm_add_epi8(jis, Bytes(0x7E)), _mm_and_si128(oddRow, oddLess));
        return Select(leads, first, Select(trails, second, v));
    }
#endif

#ifdef KV_WITH_AVX2
    KV_AVX2 static std::uint32_t Takers(__m256i v) {
        return InRangeWide(v, 0x81, 0xFE);
    }

    KV_AVX2 static std::uint32_t Resizers(__m256i v, std::uint32_t leads, std::uint32_t) {
        return BitsWide(_mm256_cmpeq_epi8(v, BytesWide(0x8E))) & leads;
    }

    // The arithmetic of the 16-byte Convert above.
    KV_AVX2 static __m256i Convert(__m256i v, __m256i prev, __m256i, __m256i leads,
                                   __m256i trails) {
        const __m256i jis = _mm256_and_si256(v, BytesWide(0x7F));
        const __m256i lowRow = _mm256_cmpgt_epi8(BytesWide(0x5F), jis);
        const __m256i first = _mm256_add_epi8(
            _mm256_avg_epu8(jis, _mm256_setzero_si256()),
            _mm256_xor_si256(BytesWide(0xB0), _mm256_and_si256(lowRow, BytesWide(0xC0))));
        const __m256i oddRow =
            _mm256_cmpeq_epi8(_mm256_and_si256(prev, BytesWide(1)), BytesWide(1));
        const __m256i oddLess =
            _mm256_add_epi8(BytesWide(0x5F), _mm256_cmpgt_epi8(jis, BytesWide(0x5F)));
        const __m256i second = _mm256_sub_epi8(_mm256_add_epi8(jis, BytesWide(0x7E)),
                                               _mm256_and_si256(oddRow, oddLess));
        return SelectWide(leads, first, SelectWide(trails, second, v));
    }
#endif
};

struct SjisToEucRules {
    static std::size_t Step(const Byte* in, std::size_t n, std::size_t i, Byte* out,
                            std::size_t& o) {
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

    // A half-width katakana writes two bytes for one.
    static std::size_t Bound(std::size_t count) { return 2 * count; }

#ifdef __SSE2__
    static std::uint32_t Takers(__m128i v) {
        return Bits(v) & ~InRange(v, 0xA1, 0xDF);
    }

    static std::uint32_t Resizers(__m128i v, std::uint32_t, std::uint32_t trails) {
        return InRange(v, 0xA1, 0xDF) & ~trails;
    }

    static __m128i Convert(__m128i v, __m128i, __m128i next, __m128i leads, __m128i trails) {
        // Unsigned comparisons, done signed on the bytes with their top bit flipped.
        const __m128i flip = Bytes(0x80);
        const __m128i below9F = _mm_cmpgt_epi8(Bytes(0x9F ^ 0x80), _mm_xor_si128(v, flip));
        const __m128i nextBelow9F = _mm_cmpgt_epi8(Bytes(0x9F ^ 0x80), _mm_xor_si128(next, flip));
        const __m128i belowA0 = _mm_cmpgt_epi8(Bytes(0xA0 ^ 0x80), _mm_xor_si128(v, flip));
        // First byte: 2 * (s1 - 0x70) below 0xA0, else 2 * (s1 - 0xB0); minus 1 when the
        // second byte is below 0x9F (adding the all-ones mask).
        const __m128i offset =
            _mm_sub_epi8(v, _mm_xor_si128(Bytes(0xB0), _mm_and_si128(belowA0, Bytes(0xC0))));
        const __m128i first = _mm_add_epi8(_mm_add_epi8(offset, offset), nextBelow9F);
        // Second byte: minus 0x1F up to 0x7F, 0x20 up to 0x9E, else 0x7E.
        const __m128i lowSub = _mm_sub_epi8(Bytes(0x1F), _mm_cmplt_epi8(v, _mm_setzero_si128()));
        const __m128i second = _mm_sub_epi8(v, Select(below9F, lowSub, Bytes(0x7E)));
        return Select(leads, _mm_or_si128(first, flip),
                      Select(trails, _mm_or_si128(second, flip), v));
    }
#endif

#ifdef KV_WITH_AVX2
    KV_AVX2 static std::uint32_t Takers(__m256i v) {
        return BitsWide(v) & ~InRangeWide(v, 0xA1, 0xDF);
    }

    KV_AVX2 static std::uint32_t Resizers(__m256i v, std::uint32_t, std::uint32_t trails) {
        return InRangeWide(v, 0xA1, 0xDF) & ~trails;
    }

    // The arithmetic of the 16-byte Convert above.
    KV_AVX2 static __m256i Convert(__m256i v, __m256i, __m256i next, __m256i leads,
                                   __m256i trails) {
        const __m256i flip = BytesWide(0x80);
        const __m256i below9F =
            _mm256_cmpgt_epi8(BytesWide(0x9F ^ 0x80), _mm256_xor_si256(v, flip));
        const __m256i nextBelow9F =
            _mm256_cmpgt_epi8(BytesWide(0x9F ^ 0x80), _mm256_xor_si256(next, flip));
        const __m256i belowA0 =
            _mm256_cmpgt_epi8(BytesWide(0xA0 ^ 0x80), _mm256_xor_si256(v, flip));
        const __m256i offset = _mm256_sub_epi8(
            v, _mm256_xor_si256(BytesWide(0xB0), _mm256_and_si256(belowA0, BytesWide(0xC0))));
        const __m256i first = _mm256_add_epi8(_mm256_add_epi8(offset, offset), nextBelow9F);
        const __m256i lowSub =
            _mm256_sub_epi8(BytesWide(0x1F), _mm256_cmpgt_epi8(_mm256_setzero_si256(), v));
        const __m256i second = _mm256_sub_epi8(v, SelectWide(below9F, lowSub, BytesWide(0x7E)));
        return SelectWide(leads, _mm256_or_si256(first, flip),
                          SelectWide(trails, _mm256_or_si256(second, flip), v));
    }
#endif
};

#ifdef __SSE2__

// Converts 32 bytes at a time from the boundary i, while a block's output has the block's
// length, until a block no longer fits before `limit` and the end. A pair may
// straddle two blocks: `carried` says that the block's first byte ends a pair begun in the
// block before. Returns where it stopped, on a character boundary, with `o` advanced to
// match.
template <class Rules>
std::size_t ConvertBlocks(const Byte* in, std::size_t n, std::size_t i, std::size_t limit,
                          Byte* out, std::size_t& o) {
    std::uint32_t carried = 0;
    // Each block also reads the byte after it.
    while (i + 32 <= limit && i + 33 <= n) {
        const __m128i v0 = Load(in + i);
        const __m128i v1 = Load(in + i + 16);
        if ((Bits(_mm_or_si128(v0, v1)) | carried) == 0) {
            Store(out + o, v0);
            Store(out + o + 16, v1);
            i += 32;
            o += 32;
            continue;
        }
        const std::uint32_t takers = Rules::Takers(v0) | Rules::Takers(v1) << 16;
        const std::uint32_t leads = PairStarts(takers & ~carried);
        const std::uint32_t trails = leads << 1 | carried;
        if (Rules::Resizers(v0, leads & 0xFFFF, trails & 0xFFFF) |
            Rules::Resizers(v1, leads >> 16, trails >> 16)) {
            const std::size_t end = i + 32;
            i -= carried;
            o -= carried;
            while (i < end) {
                i = Rules::Step(in, n, i, out, o);
            }
            carried = 0;
            continue;
        }
        const __m128i leads0 = ExpandBits(leads);
        const __m128i leads1 = ExpandBits(leads >> 16);
        // A pair's second byte is one position after its first.
        const __m128i trails0 = _mm_or_si128(_mm_slli_si128(leads0, 1),
                                             _mm_cvtsi32_si128(static_cast<int>(carried * 0xFF)));
        const __m128i trails1 = _mm_or_si128(_mm_slli_si128(leads1, 1), _mm_srli_si128(leads0, 15));
        const __m128i prev0 = i == 0 ? _mm_slli_si128(v0, 1) : Load(in + i - 1);
        Store(out + o, Rules::Convert(v0, prev0, Load(in + i + 1), leads0, trails0));
        Store(out + o + 16,
              Rules::Convert(v1, Load(in + i + 15), Load(in + i + 17), leads1, trails1));
        i += 32;
        o += 32;
        carried = leads >> 31;
    }
    // A pair begun by the last block is left whole to the byte-at-a-time walk.
    i -= carried;
    o -= carried;
    return i;
}

#endif

#ifdef KV_WITH_AVX2

// The loop of ConvertBlocks over 64-byte blocks of two 32-byte halves.
template <class Rules>
KV_AVX2 std::size_t ConvertWideBlocks(const Byte* in, std::size_t n, std::size_t i,
                                      std::size_t limit, Byte* out, std::size_t& o) {
    std::uint64_t carried = 0;
    while (i + 64 <= limit && i + 65 <= n) {
        const __m256i v0 = LoadWide(in + i);
        const __m256i v1 = LoadWide(in + i + 32);
        if ((BitsWide(_mm256_or_si256(v0, v1)) | carried) == 0) {
            StoreWide(out + o, v0);
            StoreWide(out + o + 32, v1);
            i += 64;
            o += 64;
            continue;
        }
        const std::uint64_t takers =
            Rules::Takers(v0) | static_cast<std::uint64_t>(Rules::Takers(v1)) << 32;
        const std::uint64_t leads = PairStarts(takers & ~carried);
        const std::uint64_t trails = leads << 1 | carried;
        const auto low = [](std::uint64_t bits) { return static_cast<std::uint32_t>(bits); };
        const auto high = [](std::uint64_t bits) { return static_cast<std::uint32_t>(bits >> 32); };
        if (Rules::Resizers(v0, low(leads), low(trails)) |
            Rules::Resizers(v1, high(leads), high(trails))) {
            const std::size_t end = i + 64;
            i -= carried;
            o -= carried;
            while (i < end) {
                i = Rules::Step(in, n, i, out, o);
            }
            carried = 0;
            continue;
        }
        const __m256i prev0 = i == 0 ? ShiftUpOne(v0) : LoadWide(in + i - 1);
        StoreWide(out + o, Rules::Convert(v0, prev0, LoadWide(in + i + 1),
                                          ExpandBitsWide(low(leads)), ExpandBitsWide(low(trails))));
        StoreWide(out + o + 32,
                  Rules::Convert(v1, LoadWide(in + i + 31), LoadWide(in + i + 33),
                                 ExpandBitsWide(high(leads)), ExpandBitsWide(high(trails))));
        i += 64;
        o += 64;
        carried = leads >> 63;
    }
    i -= carried;
    o -= carried;
    return i;
}

#endif

// The block converters a walk may use ahead of its byte-at-a-time steps.
enum class Blocks { None, Sse2, Avx2 };

// Walks from the boundary i to the first boundary at or past `limit` and returns it.
template <class Rules, Blocks kBlocks>
std::size_t Walk(const Byte* in, std::size_t n, std::size_t i, std::size_t limit, Byte* out,
                 std::size_t& o) {
#ifdef KV_WITH_AVX2
    if constexpr (kBlocks == Blocks::Avx2) {
        i = ConvertWideBlocks<Rules>(in, n, i, limit, out, o);
    }
#endif
#ifdef __SSE2__
    if constexpr (kBlocks != Blocks::None) {
        i = ConvertBlocks<Rules>(in, n, i, limit, out, o);
    }
#endif
    constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;
    while (i < limit) {
        if (limit - i >= 8) {
            std::uint64_t word;
            std::memcpy(&word, in + i, 8);
            if ((word & kHighBits) == 0) {
                std::memcpy(out + o, &word, 8);
                i += 8;
                o += 8;
                continue;
            }
        }
        i = Rules::Step(in, n, i, out, o);
    }
    return i;
}

// Appends the conversion of `text` to `out`, a stretch at a time: resize() fills a
// stretch with zeros before the walk writes it, and a stretch small enough for the cache
// takes both writes there. One allocation serves the whole text.
template <class Rules, Blocks kBlocks>
void Convert(std::string_view text, std::string& out) {
    constexpr std::size_t kStretch = 16 * 1024;
    const auto* in = reinterpret_cast<const Byte*>(text.data());
    const std::size_t n = text.size();
    out.reserve(out.size() + Rules::Bound(n + 1));
    std::size_t i = 0;
    while (i < n) {
        const std::size_t limit = std::min(n, i + kStretch);
        const std::size_t start = out.size();
        // The walk stops at most one byte past `limit`.
        out.resize(start + Rules::Bound(limit - i + 1));
        std::size_t o = 0;
        i = Walk<Rules, kBlocks>(in, n, i, limit, reinterpret_cast<Byte*>(out.data()) + start, o);
        out.resize(start + o);
    }
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

namespace {

// The fastest path this CPU runs, chosen once. The portable path runs everywhere.
const detail::ConversionPath& FastestPath() {
    static const detail::ConversionPath& fastest = []() -> const detail::ConversionPath& {
        const std::vector<detail::ConversionPath>& paths = detail::ConversionPaths();
        const auto best = std::find_if(paths.rbegin(), paths.rend(),
                                       [](const detail::ConversionPath& p) { return p.available; });
        return *best;
    }();
    return fastest;
}

}  // namespace

void EucToSjis(std::string_view in, std::string& out) {
    FastestPath().eucToSjis(in, out);
}

void SjisToEuc(std::string_view in, std::string& out) {
    FastestPath().sjisToEuc(in, out);
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

const std::vector<ConversionPath>& ConversionPaths() {
    static const std::vector<ConversionPath> paths = {
        {"portable", true, &Convert<EucToSjisRules, Blocks::None>,
         &Convert<SjisToEucRules, Blocks::None>},
#ifdef __SSE2__
        {"sse2", true, &Convert<EucToSjisRules, Blocks::Sse2>,
         &Convert<SjisToEucRules, Blocks::Sse2>},
#endif
#ifdef KV_WITH_AVX2
        {"avx2", __builtin_cpu_supports("avx2") != 0, &Convert<EucToSjisRules, Blocks::Avx2>,
         &Convert<SjisToEucRules, Blocks::Avx2>},
#endif
    };
    return paths;
}

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

}  // namespace kv::text

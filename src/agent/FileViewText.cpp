#include "agent/FileViewText.h"

#include <algorithm>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace kv::agent {

std::string PrepareFileViewText(std::string_view reply) {
    std::string text;
    text.reserve(reply.size() + reply.size() / 16 + 2);
    FileViewTextBuilder builder;
    builder.Feed(reply, text);
    builder.Finish(text);
    return text;
}

namespace {

// Pieces are normalised in slices of this size, so the line buffer stays small and warm.
constexpr std::size_t kSlice = 64 * 1024;

bool IsBreak(char c) {
    return c == '\r' || c == '\n' || c == '\0';
}

// The first CR, LF or NUL in [p, end), or end.
const char* FindBreak(const char* p, const char* end) {
#ifdef __SSE2__
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i nul = _mm_setzero_si128();
    for (; end - p >= 16; p += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i hits =
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, cr), _mm_cmpeq_epi8(bytes, lf)),
                         _mm_cmpeq_epi8(bytes, nul));
        if (const int mask = _mm_movemask_epi8(hits)) {
            return p + __builtin_ctz(static_cast<unsigned>(mask));
        }
    }
#endif
    return std::find_if(p, end, IsBreak);
}

}  // namespace

void FileViewTextBuilder::Feed(std::string_view piece, std::string& out) {
    while (!piece.empty() && !ended_) {
        const std::string_view slice = piece.substr(0, kSlice);
        piece.remove_prefix(slice.size());
        lines_.clear();
        Normalise(slice);
        converter_.Feed(lines_, out);
    }
}

void FileViewTextBuilder::Normalise(std::string_view piece) {
    const char* p = piece.data();
    const char* const end = p + piece.size();
    while (p != end) {
        if (afterCr_) {
            afterCr_ = false;
            if (*p == '\n') {
                ++p;
                continue;
            }
        }
        const char* const found = FindBreak(p, end);
        if (found != p) {
            lines_.append(p, found);
            lineOpen_ = true;
        }
        if (found == end) {
            return;
        }
        if (*found == '\0') {
            ended_ = true;
            return;
        }
        lines_.append("\r\n");
        lineOpen_ = false;
        afterCr_ = *found == '\r';
        p = found + 1;
    }
}

void FileViewTextBuilder::Finish(std::string& out) {
    if (lineOpen_) {
        lineOpen_ = false;
        converter_.Feed("\r\n", out);
    }
    converter_.Finish(out);
}

}  // namespace kv::agent

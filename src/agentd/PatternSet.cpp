#include "agentd/PatternSet.h"

#include <algorithm>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kv::agentd {

namespace {

#if defined(__SSE2__)
constexpr bool kVectors = true;
#else
constexpr bool kVectors = false;
#endif

// More bytes at one offset cost more per block than the filter saves.
constexpr std::size_t kMostFilterBytes = 4;

// How often a byte turns up in ASCII log lines, roughly: spaces, digits and lower case are
// everywhere, upper case and most punctuation are scarce, control and high bytes rarer still.
constexpr std::array<std::uint8_t, 256> kLogWeight = [] {
    std::array<std::uint8_t, 256> weight{};
    weight.fill(1);
    const char* english = "etaoinsrhldcumfpgwybvkxjqz";
    const std::uint8_t lower[] = {100, 75, 70, 65, 65, 65, 60, 60, 40, 40, 35, 30, 28,
                                  25,  20, 20, 18, 15, 15, 12, 10, 7,  3,  2,  1,  1};
    for (std::size_t i = 0; i < 26; ++i) {
        const auto letter = static_cast<unsigned char>(english[i]);
        weight[letter] = lower[i];
        weight[letter - 'a' + 'A'] = static_cast<std::uint8_t>(lower[i] / 8 + 2);
    }
    for (unsigned char digit = '0'; digit <= '9'; ++digit) {
        weight[digit] = digit <= '2' ? 55 : 35;
    }
    weight[' '] = 150;
    const char* punctuation = ":./-=,[]_\"\n()'\t";
    const std::uint8_t often[] = {30, 30, 20, 20, 10, 10, 8, 8, 8, 8, 12, 4, 4, 3, 5};
    for (std::size_t i = 0; punctuation[i] != '\0'; ++i) {
        weight[static_cast<unsigned char>(punctuation[i])] = often[i];
    }
    for (unsigned char c = '!'; c <= '~'; ++c) {
        weight[c] = std::max<std::uint8_t>(weight[c], 2);
    }
    return weight;
}();

// The offset within the window whose bytes are rarest together, least `skip`, or the window
// size when no offset has few enough distinct bytes.
std::size_t RarestOffset(const std::vector<std::vector<unsigned char>>& bytes, std::size_t skip) {
    std::size_t best = bytes.size();
    unsigned bestWeight = ~0u;
    for (std::size_t offset = 0; offset < bytes.size(); ++offset) {
        if (offset == skip || bytes[offset].size() > kMostFilterBytes) {
            continue;
        }
        unsigned weight = 0;
        for (const unsigned char c : bytes[offset]) {
            weight += kLogWeight[c];
        }
        if (weight < bestWeight) {
            best = offset;
            bestWeight = weight;
        }
    }
    return best;
}

#if defined(__SSE2__)
// The positions of 16 bytes holding any of the set's bytes, as set bits.
template <std::size_t N>
std::uint32_t AnyOf(const unsigned char* at, const __m128i (&set)[N]) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    __m128i any = _mm_cmpeq_epi8(block, set[0]);
    for (std::size_t i = 1; i < N; ++i) {
        any = _mm_or_si128(any, _mm_cmpeq_epi8(block, set[i]));
    }
    return static_cast<std::uint32_t>(_mm_movemask_epi8(any));
}

// Moves `from` to the first 32 starts holding a candidate and returns their mask, or stops at
// the last whole 32 starts before `limit` with 0. Sets shorter than N repeat their first byte.
template <std::size_t N>
std::uint32_t SkipBlocks(const unsigned char* bytes, std::size_t& from, std::size_t limit,
                         const std::size_t (&offset)[2],
                         const std::vector<unsigned char> (&filter)[2]) {
    __m128i set[2][N];
    for (std::size_t k = 0; k < 2; ++k) {
        for (std::size_t i = 0; i < N; ++i) {
            const unsigned char c = filter[k][i < filter[k].size() ? i : 0];
            set[k][i] = _mm_set1_epi8(static_cast<char>(c));
        }
    }
    const unsigned char* first = bytes + offset[0];
    const unsigned char* second = bytes + offset[1];
    for (; from + 32 <= limit; from += 32) {
        const std::uint32_t low = AnyOf(first + from, set[0]) & AnyOf(second + from, set[1]);
        const std::uint32_t high =
            AnyOf(first + from + 16, set[0]) & AnyOf(second + from + 16, set[1]);
        const std::uint32_t mask = low | (high << 16);
        if (mask != 0) {
            return mask;
        }
    }
    return 0;
}
#endif

}  // namespace

PatternSet::PatternSet(std::vector<std::string> patterns)
    : shift_(std::make_unique<std::array<std::uint8_t, 65536>>()) {
    for (std::size_t i = 0; i < patterns.size(); ++i) {
        if (!patterns[i].empty()) {
            patterns_.push_back(std::move(patterns[i]));
            indices_.push_back(i);
        }
    }
    if (patterns_.empty()) {
        return;
    }
    window_ = patterns_.front().size();
    for (const std::string& pattern : patterns_) {
        window_ = std::min(window_, pattern.size());
        maxLength_ = std::max(maxLength_, pattern.size());
    }
    // A shift is one byte wide; a longer window would gain little more.
    window_ = std::min<std::size_t>(window_, 255);
    // Longer blocks end fewer windows of some string by chance, at the cost of shorter shifts.
    block_ = window_ >= 6 ? 3 : window_ >= 2 ? 2 : 1;
    const std::size_t keys = block_ >= 2 ? 65536 : 256;
    shift_->fill(static_cast<std::uint8_t>(window_ - block_ + 1));
    std::vector<std::uint32_t> count(keys + 1, 0);
    std::vector<std::vector<unsigned char>> column(window_);
    for (const std::string& pattern : patterns_) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(pattern.data());
        for (std::size_t end = block_ - 1; end < window_; ++end) {
            auto& step = (*shift_)[Key(bytes + end)];
            step = std::min(step, static_cast<std::uint8_t>(window_ - 1 - end));
        }
        ++count[Key(bytes + window_ - 1)];
        for (std::size_t offset = 0; offset < window_; ++offset) {
            if (column[offset].size() <= kMostFilterBytes &&
                std::find(column[offset].begin(), column[offset].end(), bytes[offset]) ==
                    column[offset].end()) {
                column[offset].push_back(bytes[offset]);
            }
        }
    }
    first_.assign(keys + 1, 0);
    for (std::size_t key = 0; key < keys; ++key) {
        first_[key + 1] = first_[key] + count[key];
    }
    bucket_.resize(patterns_.size());
    std::vector<std::uint32_t> next(first_.begin(), first_.end() - 1);
    for (std::uint32_t i = 0; i < patterns_.size(); ++i) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(patterns_[i].data());
        bucket_[next[Key(bytes + window_ - 1)]++] = i;
    }
    const std::size_t rarest = RarestOffset(column, window_);
    filtered_ = kVectors && rarest < window_;
    if (filtered_) {
        const std::size_t second = RarestOffset(column, rarest);
        filter_.offset[0] = rarest;
        filter_.offset[1] = second < window_ ? second : rarest;
        for (std::size_t k = 0; k < 2; ++k) {
            filter_.bytes[k] = column[filter_.offset[k]];
            for (const unsigned char c : filter_.bytes[k]) {
                filter_.member[k][c] = true;
            }
        }
    }
}

PatternSet::Candidates PatternSet::NextCandidates(const unsigned char* bytes, std::size_t from,
                                                  std::size_t limit) const {
#if defined(__SSE2__)
    const std::size_t most = std::max(filter_.bytes[0].size(), filter_.bytes[1].size());
    std::uint32_t found = 0;
    switch (most) {
        case 1:
            found = SkipBlocks<1>(bytes, from, limit, filter_.offset, filter_.bytes);
            break;
        case 2:
            found = SkipBlocks<2>(bytes, from, limit, filter_.offset, filter_.bytes);
            break;
        case 3:
            found = SkipBlocks<3>(bytes, from, limit, filter_.offset, filter_.bytes);
            break;
        default:
            found = SkipBlocks<kMostFilterBytes>(bytes, from, limit, filter_.offset, filter_.bytes);
            break;
    }
    if (found != 0) {
        return {from, found};
    }
#endif
    // The last starts, fewer than 32, one by one.
    std::uint32_t mask = 0;
    const std::size_t end = std::min(limit, from + 32);
    for (std::size_t start = from; start < end; ++start) {
        if (filter_.member[0][bytes[start + filter_.offset[0]]] &&
            filter_.member[1][bytes[start + filter_.offset[1]]]) {
            mask |= std::uint32_t{1} << (start - from);
        }
    }
    return {from, mask};
}

}  // namespace kv::agentd

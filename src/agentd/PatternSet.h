#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kv::agentd {

// Finds every occurrence of a set of byte strings in one pass over a text. A window as long
// as the shortest string slides along; strings are only compared where the block at the
// window's end ends a window of some string.
// Where few distinct bytes stand at some offset of every string (one string, or strings
// sharing a prefix), 32 positions at a time are tested for the two rarest such bytes in log
// text, and only the positions that pass are looked at. Otherwise the window moves by
// Wu-Manber shifts over blocks of up to three bytes.
class PatternSet {
public:
    // Empty strings are left out: they would match everywhere.
    explicit PatternSet(std::vector<std::string> patterns = {});

    bool Empty() const { return patterns_.empty(); }
    std::size_t Size() const { return patterns_.size(); }
    std::size_t MaxLength() const { return maxLength_; }

    // Calls found(index, start) for every occurrence, in order of its start; the index is the
    // position in the list given to the constructor.
    template <class Found>
    void Scan(std::string_view text, Found&& found) const;

private:
    // The bytes a candidate window must hold at two offsets; both offsets are the same when
    // only one is worth testing.
    struct Filter {
        std::size_t offset[2] = {0, 0};
        std::vector<unsigned char> bytes[2];
        std::array<bool, 256> member[2]{};
    };
    // A run of candidate window starts: at + n for every bit n of mask.
    struct Candidates {
        std::size_t at;
        std::uint32_t mask;
    };

    std::uint32_t Key(const unsigned char* end) const {
        if (block_ == 3) {
            // Hashed into the table of two-byte blocks: the log's three-byte blocks are few.
            const std::uint32_t three =
                (std::uint32_t{end[-2]} << 16) | (std::uint32_t{end[-1]} << 8) | end[0];
            return (three * 2654435761u) >> 16;
        }
        return block_ == 2 ? (std::uint32_t{end[-1]} << 8) | end[0] : end[0];
    }
    // From `from` on, passes over runs of 32 starts without a candidate and returns the run it
    // stopped at with its candidates; starts from `limit` on are never candidates.
    Candidates NextCandidates(const unsigned char* bytes, std::size_t from,
                              std::size_t limit) const;
    template <class Found>
    void ScanShifts(const unsigned char* bytes, std::size_t size, Found& found) const;
    template <class Found>
    void Compare(const unsigned char* bytes, std::size_t size, std::size_t start,
                 Found& found) const;

    std::vector<std::string> patterns_;
    std::vector<std::size_t> indices_;
    std::size_t window_ = 0;
    std::size_t block_ = 1;
    std::size_t maxLength_ = 0;
    bool filtered_ = false;
    Filter filter_;
    // How far the window may move when the given block ends it; 0: compare here.
    std::unique_ptr<std::array<std::uint8_t, 65536>> shift_;
    // The strings whose window ends in each block: bucket_[first_[k] .. first_[k + 1]).
    std::vector<std::uint32_t> first_;
    std::vector<std::uint32_t> bucket_;
};

template <class Found>
void PatternSet::Compare(const unsigned char* bytes, std::size_t size, std::size_t start,
                         Found& found) const {
    const std::uint32_t key = Key(bytes + start + window_ - 1);
    for (std::uint32_t i = first_[key]; i < first_[key + 1]; ++i) {
        const std::string& pattern = patterns_[bucket_[i]];
        if (pattern.size() <= size - start &&
            std::memcmp(bytes + start, pattern.data(), pattern.size()) == 0) {
            found(indices_[bucket_[i]], start);
        }
    }
}

template <class Found>
void PatternSet::Scan(std::string_view text, Found&& found) const {
    if (patterns_.empty() || text.size() < window_) {
        return;
    }
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t size = text.size();
    if (filtered_) {
        const std::size_t limit = size - window_ + 1;
        for (std::size_t from = 0; from < limit;) {
            const Candidates run = NextCandidates(bytes, from, limit);
            for (std::uint32_t mask = run.mask; mask != 0; mask &= mask - 1) {
                Compare(bytes, size, run.at + std::size_t(std::countr_zero(mask)), found);
            }
            from = run.at + 32;
        }
        return;
    }
    ScanShifts(bytes, size, found);
}

template <class Found>
void PatternSet::ScanShifts(const unsigned char* bytes, std::size_t size, Found& found) const {
    // Two halves of each stretch are walked side by side, so that the lookups of one overlap
    // those of the other; the second half's stops are compared when the first half is done.
    constexpr std::size_t kHalf = 4096;
    std::uint32_t stops[kHalf];
    const auto& shift = *shift_;
    const auto alone = [&](std::size_t end, std::size_t stop) {
        while (end < stop) {
            const std::uint8_t step = shift[Key(bytes + end)];
            if (step == 0) {
                Compare(bytes, size, end + 1 - window_, found);
            }
            end += step + (step == 0);
        }
    };
    const std::size_t starts = size - window_ + 1;
    for (std::size_t base = 0; base < starts; base += 2 * kHalf) {
        std::size_t first = base + window_ - 1;
        const std::size_t firstStop = std::min(base + kHalf, starts) + window_ - 1;
        std::size_t second = base + kHalf + window_ - 1;
        const std::size_t secondStop = std::min(base + 2 * kHalf, starts) + window_ - 1;
        std::size_t stopped = 0;
        while (first < firstStop && second < secondStop) {
            const std::uint8_t one = shift[Key(bytes + first)];
            const std::uint8_t two = shift[Key(bytes + second)];
            if (one == 0) {
                Compare(bytes, size, first + 1 - window_, found);
            }
            if (two == 0) {
                stops[stopped++] = static_cast<std::uint32_t>(second - base);
            }
            first += one + (one == 0);
            second += two + (two == 0);
        }
        alone(first, firstStop);
        for (std::size_t i = 0; i < stopped; ++i) {
            Compare(bytes, size, base + stops[i] + 1 - window_, found);
        }
        alone(second, secondStop);
    }
}

}  // namespace kv::agentd

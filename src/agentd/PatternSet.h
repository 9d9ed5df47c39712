#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kv::agentd {

// Finds every occurrence of a set of byte strings in one pass over a text (Wu-Manber with
// two-byte blocks): a window as long as the shortest string slides along, and only where
// the block at its end ends a window of some string is anything compared.
class PatternSet {
public:
    // Empty strings are left out: they would match everywhere.
    explicit PatternSet(std::vector<std::string> patterns = {});

    bool Empty() const { return patterns_.empty(); }
    std::size_t Size() const { return patterns_.size(); }
    std::size_t MaxLength() const { return maxLength_; }
    // The index given to `found` is the position in the list given to the constructor.
    std::size_t Index(std::size_t kept) const { return indices_[kept]; }

    // Calls found(index, start) for every occurrence, in order of its start.
    template <class Found>
    void Scan(std::string_view text, Found&& found) const;

private:
    std::uint32_t Key(const unsigned char* end) const {
        return block_ == 2 ? (std::uint32_t{end[-1]} << 8) | end[0] : end[0];
    }

    std::vector<std::string> patterns_;
    std::vector<std::size_t> indices_;
    std::size_t window_ = 0;
    std::size_t block_ = 1;
    std::size_t maxLength_ = 0;
    // How far the window may move when the given block ends it; 0: compare here.
    std::unique_ptr<std::array<std::uint8_t, 65536>> shift_;
    // The strings whose window ends in each block: bucket_[first_[k] .. first_[k + 1]).
    std::vector<std::uint32_t> first_;
    std::vector<std::uint32_t> bucket_;
};

template <class Found>
void PatternSet::Scan(std::string_view text, Found&& found) const {
    if (patterns_.empty() || text.size() < window_) {
        return;
    }
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t size = text.size();
    const auto& shift = *shift_;
    std::size_t end = window_ - 1;
    while (end < size) {
        const std::uint32_t key = Key(bytes + end);
        const std::uint8_t step = shift[key];
        if (step != 0) {
            end += step;
            continue;
        }
        const std::size_t start = end + 1 - window_;
        for (std::uint32_t i = first_[key]; i < first_[key + 1]; ++i) {
            const std::string& pattern = patterns_[bucket_[i]];
            if (pattern.size() <= size - start &&
                std::memcmp(bytes + start, pattern.data(), pattern.size()) == 0) {
                found(indices_[bucket_[i]], start);
            }
        }
        ++end;
    }
}

}  // namespace kv::agentd

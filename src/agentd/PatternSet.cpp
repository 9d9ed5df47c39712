#include "agentd/PatternSet.h"

#include <algorithm>
#include <utility>

namespace kv::agentd {

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
    block_ = window_ >= 2 ? 2 : 1;
    const std::size_t keys = block_ == 2 ? 65536 : 256;
    shift_->fill(static_cast<std::uint8_t>(window_ - block_ + 1));
    std::vector<std::uint32_t> count(keys + 1, 0);
    for (const std::string& pattern : patterns_) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(pattern.data());
        for (std::size_t end = block_ - 1; end < window_; ++end) {
            auto& step = (*shift_)[Key(bytes + end)];
            step = std::min(step, static_cast<std::uint8_t>(window_ - 1 - end));
        }
        ++count[Key(bytes + window_ - 1)];
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
}

}  // namespace kv::agentd

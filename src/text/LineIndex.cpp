#include "text/LineIndex.h"

#include <algorithm>
#include <cstring>

namespace kv::text {

void LineIndex::Clear() {
    low_.assign(1, 0);
    wraps_.clear();
    indexed_ = 0;
    longest_ = 0;
}

void LineIndex::Add(std::size_t start) {
    const std::size_t high = start >> 32;
    while (wraps_.size() < high) {
        wraps_.push_back(low_.size());
    }
    low_.push_back(static_cast<std::uint32_t>(start));
}

void LineIndex::Extend(std::string_view text) {
    const char* const base = text.data();
    const char* const end = base + text.size();
    const char* p = base + std::min(indexed_, text.size());
    std::size_t lastStart = LineStart(LineCount() - 1);
    while (p != end) {
        const void* found = std::memchr(p, '\n', static_cast<std::size_t>(end - p));
        if (found == nullptr) {
            break;
        }
        const auto at = static_cast<std::size_t>(static_cast<const char*>(found) - base);
        const std::size_t crBefore = at > lastStart && base[at - 1] == '\r' ? 1 : 0;
        longest_ = std::max(longest_, at - lastStart - crBefore);
        lastStart = at + 1;
        Add(lastStart);
        p = base + lastStart;
    }
    indexed_ = text.size();
    longest_ = std::max(longest_, indexed_ - lastStart);
}

std::size_t LineIndex::LineStart(std::size_t line) const {
    const auto high = static_cast<std::size_t>(
        std::upper_bound(wraps_.begin(), wraps_.end(), line) - wraps_.begin());
    return (high << 32) | low_[line];
}

std::size_t LineIndex::LineEnd(std::size_t line, std::string_view text) const {
    if (line + 1 >= LineCount()) {
        return std::min(indexed_, text.size());
    }
    std::size_t end = LineStart(line + 1) - 1;
    if (end > LineStart(line) && text[end - 1] == '\r') {
        --end;
    }
    return end;
}

std::string_view LineIndex::Line(std::size_t line, std::string_view text) const {
    const std::size_t start = LineStart(line);
    return text.substr(start, LineEnd(line, text) - start);
}

std::size_t LineIndex::LineOf(std::size_t offset) const {
    std::size_t low = 0;
    std::size_t high = LineCount();
    // The last line whose start is at or before `offset`.
    while (high - low > 1) {
        const std::size_t middle = low + (high - low) / 2;
        if (LineStart(middle) <= offset) {
            low = middle;
        } else {
            high = middle;
        }
    }
    return low;
}

}  // namespace kv::text

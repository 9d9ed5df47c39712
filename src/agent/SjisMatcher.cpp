#include "agent/SjisMatcher.h"

namespace kv::agent {

namespace {

char Lower(char byte) {
    return byte >= 'A' && byte <= 'Z' ? static_cast<char>(byte - 'A' + 'a') : byte;
}

}  // namespace

SjisMatcher::SjisMatcher(std::string_view pattern) : pattern_(pattern) {
    for (std::size_t i = 0; i < pattern_.size(); ++i) {
        if (IsLeadByte(static_cast<unsigned char>(pattern_[i])) && i + 1 < pattern_.size()) {
            ++i;
        } else {
            pattern_[i] = Lower(pattern_[i]);
        }
    }
}

bool SjisMatcher::MatchesAt(const char* text) const {
    for (std::size_t i = 0; i < pattern_.size(); ++i) {
        const char wanted = pattern_[i];
        if (IsLeadByte(static_cast<unsigned char>(wanted)) && i + 1 < pattern_.size()) {
            // Equal lead bytes put the text at a character boundary too.
            if (text[i] != wanted || text[i + 1] != pattern_[i + 1]) {
                return false;
            }
            ++i;
        } else if (Lower(text[i]) != wanted) {
            return false;
        }
    }
    return true;
}

bool SjisMatcher::Find(std::string_view text, std::size_t endAfter) const {
    const std::size_t size = pattern_.size();
    if (size == 0 || size > text.size()) {
        return size == 0;
    }
    const std::size_t last = text.size() - size;
    // Starts before `first` end too early to count.
    const std::size_t first = endAfter >= size ? endAfter - size + 1 : 0;
    for (std::size_t at = 0; at <= last;) {
        if (at >= first && MatchesAt(text.data() + at)) {
            return true;
        }
        at += IsLeadByte(static_cast<unsigned char>(text[at])) ? 2 : 1;
    }
    return false;
}

}  // namespace kv::agent

#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kv::agent {

// Finds a Shift_JIS pattern inside Shift_JIS text as a user's search box would: only at
// character boundaries, so an ASCII pattern never matches the trail byte of a two-byte
// character ("ソ" is 0x83 0x5C, whose trail is a backslash), and with ASCII letters
// matched regardless of case. Two-byte characters match byte for byte.
class SjisMatcher {
public:
    explicit SjisMatcher(std::string_view pattern);

    bool Empty() const { return pattern_.empty(); }
    std::size_t Size() const { return pattern_.size(); }
    // True when the pattern occurs in `text` ending after byte `endAfter`.
    bool Find(std::string_view text, std::size_t endAfter = 0) const;

    // True for a byte that begins a two-byte Shift_JIS character.
    static bool IsLeadByte(unsigned char byte) {
        return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
    }

private:
    bool MatchesAt(const char* text) const;

    // The pattern with its one-byte letters in lower case.
    std::string pattern_;
};

}  // namespace kv::agent

#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "text/LineIndex.h"

namespace kv::text {

// Shift_JIS: a byte that begins a two-byte character.
bool IsSjisLead(unsigned char byte);
// The start of the character after the one at `at`, never past `end`.
std::size_t NextSjisCharacter(std::string_view text, std::size_t at, std::size_t end);
// True when `at` begins a character of its line (the second byte of a two-byte character
// does not; a lead byte that ends its line stands alone).
bool IsSjisCharacterStart(std::string_view text, const LineIndex& index, std::size_t at);

// A search for a byte string in a Shift_JIS text, run a slice at a time so that a window
// stays responsive over a large text. Matches start at a character; the search goes round
// the end of the text once and stops where it began.
class TextSearch {
public:
    enum class Result { Running, Found, NotFound };

    // Forward: the first match starting at or after `from`. Backward: the last match
    // starting before `from`. The text and index must stay unchanged until the search ends.
    void Start(std::string_view text, const LineIndex& index, std::string needle, std::size_t from,
               bool backward);
    // Searches about `budget` more bytes.
    Result Step(std::size_t budget);
    // Valid after Found.
    std::size_t MatchStart() const { return match_; }
    std::size_t MatchEnd() const { return match_ + needle_.size(); }
    // The match lay beyond the end (or, backward, before the start) of the text.
    bool Wrapped() const { return round_ == 1; }

private:
    std::size_t FirstIn(std::size_t from, std::size_t to) const;
    std::size_t LastIn(std::size_t from, std::size_t to) const;
    void NextRound();

    std::string_view text_;
    const LineIndex* index_ = nullptr;
    std::string needle_;
    bool backward_ = false;
    std::size_t from_ = 0;
    int round_ = 0;
    // Forward: [position_, end_) is still to search; backward: [begin_, position_).
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    std::size_t position_ = 0;
    std::size_t match_ = 0;
};

}  // namespace kv::text

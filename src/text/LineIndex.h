#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace kv::text {

// Where each line of a text starts, for views that show a few lines of a large text. A line
// ends at LF; a CR just before the LF belongs to the line end. A text of n LF bytes has n + 1
// lines, the last one empty when the text ends with a line end.
//
// Starts are held in 32 bits each, with the lines where they pass a multiple of 4 GiB noted
// apart: an index costs 4 bytes per line.
class LineIndex {
public:
    // Indexes the bytes of `text` beyond those indexed before; `text` must be the same text
    // as before, grown at its end.
    void Extend(std::string_view text);
    void Clear();

    std::size_t LineCount() const { return low_.size(); }
    std::size_t LineStart(std::size_t line) const;
    // The end of the line's own bytes, before its CR LF or LF.
    std::size_t LineEnd(std::size_t line, std::string_view text) const;
    std::string_view Line(std::size_t line, std::string_view text) const;
    // The line that holds byte `offset` (a line end belongs to its line).
    std::size_t LineOf(std::size_t offset) const;
    // Bytes of the longest line seen, line end not counted.
    std::size_t LongestLine() const { return longest_; }
    std::size_t IndexedBytes() const { return indexed_; }

private:
    void Add(std::size_t start);

    std::vector<std::uint32_t> low_{0};
    // Line numbers from which the starts' upper part goes up by one, in order.
    std::vector<std::size_t> wraps_;
    std::size_t indexed_ = 0;
    std::size_t longest_ = 0;
};

}  // namespace kv::text

#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/WatchSetting.h"

namespace kv::app {

// The settings grid's content: 128 watch rows of five cells (columns 1 to 5; column 0
// holds the row numbers and is never stored) and the current cell. Rows are 1-based as
// the grid shows them.
class WatchGrid {
public:
    static constexpr std::size_t kRows = settings::kMaxWatchRows;
    static constexpr std::size_t kColumns = 5;  // editable columns 1..5
    static constexpr std::size_t kCountColumn = 3;

    struct ColumnInfo {
        std::string Caption;  // Shift_JIS
        int Width;
        bool Centred;
    };
    // Columns 0 to 5: "No", "監視ﾌｧｲﾙ", ...
    static const std::array<ColumnInfo, kColumns + 1>& Columns();

    // Row 1..kRows, column 1..kColumns; out of range throws std::out_of_range.
    const std::string& Cell(std::size_t row, std::size_t column) const;
    void SetCell(std::size_t row, std::size_t column, std::string text);

    settings::WatchRow Row(std::size_t row) const;
    void SetRow(std::size_t row, const settings::WatchRow& value);

    std::size_t CurrentRow() const { return currentRow_; }
    std::size_t CurrentColumn() const { return currentColumn_; }
    // Clamped into the editable cells.
    void SetCurrent(std::size_t row, std::size_t column);

    // Empties every cell; the current cell stays.
    void Clear();
    // Row r takes row r+1 from `row` to the end; the last row becomes empty.
    void DeleteRow(std::size_t row);
    // First row, from the top, whose FileName is empty.
    std::optional<std::size_t> FirstFreeRow() const;
    // Rows from the top up to, not including, the first one whose FileName is empty.
    std::vector<settings::WatchRow> LeadingRows() const;
    // Every row, empty ones included.
    std::vector<settings::WatchRow> AllRows() const;
    // Fills rows 1.. with `rows` (at most kRows taken) after clearing.
    void Fill(const std::vector<settings::WatchRow>& rows);

    // Only digits and backspace may be typed into the count column.
    static bool AcceptsTypedKey(std::size_t column, char32_t key);

private:
    std::array<std::array<std::string, kColumns>, kRows> cells_{};
    std::size_t currentRow_ = 1;
    std::size_t currentColumn_ = 1;
};

}  // namespace kv::app

#include "app/WatchGrid.h"

#include <algorithm>
#include <stdexcept>

#include "text/Cp932.h"

namespace kv::app {

namespace {

std::string settings::WatchRow::*const kFields[WatchGrid::kColumns] = {
    &settings::WatchRow::FileName,    &settings::WatchRow::SearchString,
    &settings::WatchRow::SearchCount, &settings::WatchRow::MailAddress,
    &settings::WatchRow::Command,
};

void CheckCell(std::size_t row, std::size_t column) {
    if (row < 1 || row > WatchGrid::kRows || column < 1 || column > WatchGrid::kColumns) {
        throw std::out_of_range("grid cell out of range");
    }
}

}  // namespace

const std::array<WatchGrid::ColumnInfo, WatchGrid::kColumns + 1>& WatchGrid::Columns() {
    static const std::array<ColumnInfo, kColumns + 1> columns{{
        {"No", 25, false},
        {text::Sjis("監視ﾌｧｲﾙ"), 150, false},
        {text::Sjis("監視ﾜｰﾄﾞ"), 120, false},
        {text::Sjis("監視回数"), 50, true},
        {text::Sjis("ﾒｰﾙｱﾄﾞﾚｽ"), 120, false},
        {text::Sjis("実行ｺﾏﾝﾄﾞ"), 150, false},
    }};
    return columns;
}

const std::string& WatchGrid::Cell(std::size_t row, std::size_t column) const {
    CheckCell(row, column);
    return cells_[row - 1][column - 1];
}

void WatchGrid::SetCell(std::size_t row, std::size_t column, std::string text) {
    CheckCell(row, column);
    cells_[row - 1][column - 1] = std::move(text);
}

settings::WatchRow WatchGrid::Row(std::size_t row) const {
    CheckCell(row, 1);
    settings::WatchRow value;
    for (std::size_t c = 0; c < kColumns; ++c) {
        value.*kFields[c] = cells_[row - 1][c];
    }
    return value;
}

void WatchGrid::SetRow(std::size_t row, const settings::WatchRow& value) {
    CheckCell(row, 1);
    for (std::size_t c = 0; c < kColumns; ++c) {
        cells_[row - 1][c] = value.*kFields[c];
    }
}

void WatchGrid::SetCurrent(std::size_t row, std::size_t column) {
    currentRow_ = std::clamp<std::size_t>(row, 1, kRows);
    currentColumn_ = std::clamp<std::size_t>(column, 1, kColumns);
}

void WatchGrid::Clear() {
    for (auto& row : cells_) {
        for (std::string& cell : row) {
            cell.clear();
        }
    }
}

void WatchGrid::DeleteRow(std::size_t row) {
    CheckCell(row, 1);
    std::move(cells_.begin() + static_cast<std::ptrdiff_t>(row), cells_.end(),
              cells_.begin() + static_cast<std::ptrdiff_t>(row - 1));
    for (std::string& cell : cells_.back()) {
        cell.clear();
    }
}

std::optional<std::size_t> WatchGrid::FirstFreeRow() const {
    for (std::size_t r = 0; r < kRows; ++r) {
        if (cells_[r][0].empty()) {
            return r + 1;
        }
    }
    return std::nullopt;
}

std::vector<settings::WatchRow> WatchGrid::LeadingRows() const {
    std::vector<settings::WatchRow> rows;
    for (std::size_t r = 1; r <= kRows && !cells_[r - 1][0].empty(); ++r) {
        rows.push_back(Row(r));
    }
    return rows;
}

std::vector<settings::WatchRow> WatchGrid::AllRows() const {
    std::vector<settings::WatchRow> rows;
    rows.reserve(kRows);
    for (std::size_t r = 1; r <= kRows; ++r) {
        rows.push_back(Row(r));
    }
    return rows;
}

void WatchGrid::Fill(const std::vector<settings::WatchRow>& rows) {
    Clear();
    const std::size_t count = std::min(rows.size(), kRows);
    for (std::size_t r = 0; r < count; ++r) {
        SetRow(r + 1, rows[r]);
    }
}

bool WatchGrid::AcceptsTypedKey(std::size_t column, char32_t key) {
    if (column != kCountColumn) {
        return true;
    }
    return (key >= U'0' && key <= U'9') || key == U'\b';
}

}  // namespace kv::app

#include "settings/ImportExport.h"

#include <cstdint>

#include "settings/SettingLine.h"
#include "text/Cp932.h"

namespace kv::settings {

namespace {

constexpr std::uint64_t kMaxCount = 0x7FFFFFFF;

int DigitValue(char c, int base) {
    int value = base;
    if (c >= '0' && c <= '9') {
        value = c - '0';
    } else if (base == 16 && c >= 'a' && c <= 'f') {
        value = c - 'a' + 10;
    } else if (base == 16 && c >= 'A' && c <= 'F') {
        value = c - 'A' + 10;
    }
    return value < base ? value : -1;
}

}  // namespace

bool IsBadSearchCount(std::string_view value) {
    std::size_t pos = 0;
    while (pos < value.size() && value[pos] == ' ') {
        ++pos;
    }
    bool negative = false;
    if (pos < value.size() && (value[pos] == '+' || value[pos] == '-')) {
        negative = value[pos] == '-';
        ++pos;
    }
    int base = 10;
    const std::string_view rest = value.substr(pos);
    if (rest.starts_with('$') || rest.starts_with('x') || rest.starts_with('X')) {
        base = 16;
        pos += 1;
    } else if (rest.starts_with("0x") || rest.starts_with("0X")) {
        base = 16;
        pos += 2;
    }
    if (pos == value.size()) {
        return true;
    }
    // Anything above the largest positive count is out of range or, read as a 32-bit
    // pattern, negative: bad either way, so the scan stops there.
    std::uint64_t number = 0;
    for (; pos < value.size(); ++pos) {
        const int digit = DigitValue(value[pos], base);
        if (digit < 0) {
            return true;
        }
        number = number * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
        if (number > kMaxCount) {
            return true;
        }
    }
    return negative || number < 1;
}

ImportResult ImportWatchRows(store::TMlb2& table) {
    ImportResult result;
    result.Total = table.RecordCount();
    std::size_t k = 0;
    if (table.First()) {
        do {
            ++k;
            // The grid has no row for an acceptable record beyond its last one, and the
            // setting text none for a record it cannot carry.
            const WatchRow row = RowFromRecord(table);
            if (IsBadSearchCount(row.SearchCount) || !CanCarry(row) ||
                result.Rows.size() == kMaxWatchRows) {
                ++result.Errors;
                result.LastRejected = k;
                result.RejectedFlag = 1;
            } else {
                result.Rows.push_back(row);
            }
        } while (table.Next());
    }
    result.Imported = result.Rows.size();
    return result;
}

std::string ImportSummary(const ImportResult& result) {
    return text::Sjis("インポート処理が、終了しました。") + "\r\n" + text::Sjis("全レコード件数") +
           "\t\t" + std::to_string(result.Total) + "\r\n" + text::Sjis("インポート件数") + "\t\t" +
           std::to_string(result.Imported) + "\r\n" + text::Sjis("エラー件数") + "\t\t" +
           std::to_string(result.Errors) + "\t" + std::to_string(result.LastRejected) + "\t" +
           std::to_string(result.RejectedFlag);
}

store::TMlb2 ExportWatchRows(const std::vector<WatchRow>& gridRows, std::size_t& count) {
    store::TMlb2 table;
    table.Separator = ",";
    table.QuoteChar = "\"";
    for (const RowColumn& column : kRowColumns) {
        table.AddField(std::string(column.Field));
    }
    count = 0;
    for (const WatchRow& row : gridRows) {
        if (!row.FileName.empty()) {
            AppendRowRecord(table, row);
            ++count;
        }
    }
    return table;
}

std::string ExportMessage(std::size_t count) {
    return text::Sjis("エクスポートが終了しました。") + "\r\n" + text::Sjis("エクスポート件数") +
           "\t" + std::to_string(count);
}

}  // namespace kv::settings

#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "settings/WatchSetting.h"
#include "store/TMlb2.h"

namespace kv::settings {

// True when the value is not a 32-bit integer of at least 1 (decimal, or hexadecimal
// after $, x or 0x); empty is bad, and so is any stray character, a trailing space too.
bool IsBadSearchCount(std::string_view value);

struct ImportResult {
    std::vector<WatchRow> Rows;  // the accepted records, in file order, at most kMaxWatchRows
    std::size_t Total = 0;
    std::size_t Imported = 0;
    std::size_t Errors = 0;
    std::size_t LastRejected = 0;  // 1-based record number, 0 if none
    int RejectedFlag = 0;
};

// Walks a loaded import table; records with a bad count or a value the setting text cannot
// carry, and acceptable records beyond the grid's rows, are rejected and counted.
ImportResult ImportWatchRows(store::TMlb2& table);
// "インポート処理が、終了しました。..." (Shift_JIS).
std::string ImportSummary(const ImportResult& result);

// The export table of the grid rows whose FileName is not empty; `count` receives their number.
store::TMlb2 ExportWatchRows(const std::vector<WatchRow>& gridRows, std::size_t& count);
// "エクスポートが終了しました。..." (Shift_JIS).
std::string ExportMessage(std::size_t count);

}  // namespace kv::settings

#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "settings/WatchSetting.h"
#include "store/TMlb2.h"

namespace kv::settings {

inline constexpr std::string_view kServerListFile = "Server.csv";
inline constexpr std::string_view kDefaultRowsFile = "Kestrelview.cnf";
inline constexpr std::string_view kDefaultMailFile = "env.csv";

// Entry 0 as built at start-up from the two loaded tables.
struct DefaultSetting {
    std::vector<WatchRow> Rows;  // at most kMaxWatchRows
    MailSetting Mail;            // body with CR LF line breaks
    std::string SettingText;     // carries exactly Rows
    // Records of Kestrelview.cnf beyond the grid's rows: not shown, not in SettingText.
    std::size_t HiddenRecords = 0;
    // Records (1-based) shown without the double quotes and line breaks that the setting
    // text cannot carry; MailCarried: the same for env.csv's record.
    std::vector<std::size_t> CarriedRecords;
    bool MailCarried = false;
};

// Builds entry 0 from Kestrelview.cnf (rows) and env.csv (mail settings, first record).
DefaultSetting LoadDefaultSetting(const store::TMlb2& rowsTable, const store::TMlb2& mailTable);

// Writes a setting text to the two tables and saves env.csv, then Kestrelview.cnf, in
// `dataDir`. Throws EInOutError at the first file that fails; the other is then untouched
// when it was env.csv that failed.
// The last `hiddenRecords` records of `rowsTable` (DefaultSetting::HiddenRecords: records
// the grid could not show) are not in the setting text; they are kept, written after the
// text's rows, and stay the table's last records, so pass the same count at every save.
void SaveDefaultSetting(std::string_view settingText, store::TMlb2& rowsTable,
                        store::TMlb2& mailTable, const std::string& dataDir,
                        std::size_t hiddenRecords);
// The same for a table as loaded: its records beyond kMaxWatchRows are the hidden ones.
// After a save of fewer than kMaxWatchRows rows that is no longer so: use the form above.
void SaveDefaultSetting(std::string_view settingText, store::TMlb2& rowsTable,
                        store::TMlb2& mailTable, const std::string& dataDir);

}  // namespace kv::settings

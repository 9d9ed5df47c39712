#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "settings/WatchSetting.h"
#include "store/TMlb2.h"

namespace kv {

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
};

// Builds entry 0 from Kestrelview.cnf (rows) and env.csv (mail settings, first record).
DefaultSetting LoadDefaultSetting(const TMlb2& rowsTable, const TMlb2& mailTable);

// Writes a setting text to the two tables and saves env.csv, then Kestrelview.cnf, in
// `dataDir`. Throws EInOutError at the first file that fails; the other is then untouched
// when it was env.csv that failed.
void SaveDefaultSetting(std::string_view settingText, TMlb2& rowsTable, TMlb2& mailTable,
                        const std::string& dataDir);

}  // namespace kv

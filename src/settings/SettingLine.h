#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "settings/WatchSetting.h"
#include "store/TMlb2.h"

namespace kv::settings {

// One line of a setting text holds five values: a watch row, or the mail line.
inline constexpr std::size_t kLineFields = 5;
using LineFields = std::array<std::string, kLineFields>;

// Appends the values, each in double quotes written verbatim, joined by commas, + CR LF.
void AppendQuotedLine(std::string& out, const std::array<std::string_view, kLineFields>& values);

// The fields of a split line: missing ones read as empty, those beyond the fifth are dropped.
LineFields FiveFields(std::vector<std::string> fields);

WatchRow RowFromFields(std::vector<std::string> fields);
// The mail settings of a mail line's fields, the body's TABs turned into CR LF; field 5,
// the server name, is not part of them.
MailSetting MailFromFields(const LineFields& fields);

// The table fields of a watch row (Kestrelview.cnf, import and export files), in row order.
struct RowColumn {
    std::string_view Field;
    std::string WatchRow::*Value;
};
inline constexpr std::array<RowColumn, kLineFields> kRowColumns{{
    {"FileName", &WatchRow::FileName},
    {"SearchString", &WatchRow::SearchString},
    {"SearchCount", &WatchRow::SearchCount},
    {"MailAddress", &WatchRow::MailAddress},
    {"Command", &WatchRow::Command},
}};

// The row fields of the table's current record, found by name; a missing field reads as empty.
WatchRow RowFromRecord(const store::TMlb2& table);
// Appends a record holding the row; fields the table lacks are not written.
void AppendRowRecord(store::TMlb2& table, const WatchRow& row);

}  // namespace kv::settings

#include "settings/SettingLine.h"

#include <utility>

namespace kv::settings {

void AppendQuotedLine(std::string& out, const std::array<std::string_view, kLineFields>& values) {
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i > 0) {
            out += ',';
        }
        out += '"';
        out += values[i];
        out += '"';
    }
    out += "\r\n";
}

LineFields FiveFields(std::vector<std::string> fields) {
    LineFields five;
    for (std::size_t i = 0; i < five.size() && i < fields.size(); ++i) {
        five[i] = std::move(fields[i]);
    }
    return five;
}

WatchRow RowFromFields(std::vector<std::string> fields) {
    LineFields f = FiveFields(std::move(fields));
    return WatchRow{std::move(f[0]), std::move(f[1]), std::move(f[2]), std::move(f[3]),
                    std::move(f[4])};
}

MailSetting MailFromFields(const LineFields& fields) {
    return MailSetting{fields[0], TabsToLineBreaks(fields[1]), fields[2], fields[3]};
}

WatchRow RowFromRecord(const store::TMlb2& table) {
    WatchRow row;
    for (const RowColumn& column : kRowColumns) {
        row.*column.Value = table.GetField(column.Field);
    }
    return row;
}

void AppendRowRecord(store::TMlb2& table, const WatchRow& row) {
    table.Append();
    for (const RowColumn& column : kRowColumns) {
        table.SetField(column.Field, row.*column.Value);
    }
}

}  // namespace kv::settings

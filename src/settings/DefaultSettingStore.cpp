#include "settings/DefaultSettingStore.h"

#include <algorithm>
#include <array>
#include <cstddef>

#include "settings/SettingLine.h"
#include "store/ServerList.h"

namespace kv::settings {

namespace {

struct MailColumn {
    std::string_view Field;
    std::string MailSetting::*Value;
};
constexpr std::array<MailColumn, 4> kMailColumns{{
    {"MailSubject", &MailSetting::MailSubject},
    {"MailBody", &MailSetting::MailBody},
    {"SMTPServer", &MailSetting::SMTPServer},
    {"FromMailAddress", &MailSetting::FromMailAddress},
}};

std::string DataFile(const std::string& dataDir, std::string_view name) {
    std::string path = dataDir;
    if (!path.empty() && path.back() != '/') {
        path += '/';
    }
    path += name;
    return path;
}

// Present fields keep their place; missing ones are appended in the given order.
template <typename Columns>
void EnsureFields(store::TMlb2& table, const Columns& columns) {
    for (const auto& column : columns) {
        table.AddField(std::string(column.Field));
    }
}

}  // namespace

DefaultSetting LoadDefaultSetting(const store::TMlb2& rowsTable, const store::TMlb2& mailTable) {
    DefaultSetting result;
    store::TMlb2 rows =
        rowsTable;  // walked with a cursor of its own; the loaded table is left as is
    if (rows.First()) {
        do {
            if (result.Rows.size() < kMaxWatchRows) {
                result.Rows.push_back(RowFromRecord(rows));
                if (MakeCarriable(result.Rows.back())) {
                    result.CarriedRecords.push_back(result.Rows.size());
                }
            } else {
                ++result.HiddenRecords;
            }
        } while (rows.Next());
    }
    store::TMlb2 mail = mailTable;
    if (mail.First()) {
        for (const MailColumn& column : kMailColumns) {
            result.Mail.*column.Value = mail.GetField(column.Field);
        }
        result.Mail.MailBody = TabsToLineBreaks(result.Mail.MailBody);
        result.MailCarried = MakeCarriable(result.Mail);
    }
    result.SettingText = BuildSettingText(result.Rows, result.Mail, store::kDefaultSettingAddress);
    return result;
}

void SaveDefaultSetting(std::string_view settingText, store::TMlb2& rowsTable,
                        store::TMlb2& mailTable, const std::string& dataDir,
                        std::size_t hiddenRecords) {
    const std::vector<std::string> oldFields = rowsTable.FieldNames();
    const auto& oldRecords = rowsTable.Records();
    hiddenRecords = std::min(hiddenRecords, oldRecords.size());
    const std::vector<std::vector<std::string>> hidden(
        oldRecords.end() - static_cast<std::ptrdiff_t>(hiddenRecords), oldRecords.end());

    rowsTable.ClearRecords();
    EnsureFields(rowsTable, kRowColumns);
    mailTable.ClearRecords();
    EnsureFields(mailTable, kMailColumns);
    mailTable.Append();

    const std::vector<std::string_view> lines = SplitSettingLines(settingText);
    if (lines.size() >= 2) {
        const std::size_t mailLine = lines.size() - 2;
        for (std::size_t i = 0; i < mailLine; ++i) {
            AppendRowRecord(rowsTable, RowFromFields(SplitCommaText(lines[i])));
        }
        const MailSetting mail = MailFromFields(FiveFields(SplitCommaText(lines[mailLine])));
        for (const MailColumn& column : kMailColumns) {
            mailTable.SetField(column.Field, mail.*column.Value);
        }
    }
    for (const std::vector<std::string>& record : hidden) {
        rowsTable.Append();
        for (std::size_t i = 0; i < oldFields.size() && i < record.size(); ++i) {
            rowsTable.SetField(oldFields[i], record[i]);
        }
    }

    mailTable.SaveToFile(DataFile(dataDir, kDefaultMailFile));
    rowsTable.SaveToFile(DataFile(dataDir, kDefaultRowsFile));
}

void SaveDefaultSetting(std::string_view settingText, store::TMlb2& rowsTable,
                        store::TMlb2& mailTable, const std::string& dataDir) {
    const std::size_t count = rowsTable.RecordCount();
    SaveDefaultSetting(settingText, rowsTable, mailTable, dataDir,
                       count > kMaxWatchRows ? count - kMaxWatchRows : 0);
}

}  // namespace kv::settings

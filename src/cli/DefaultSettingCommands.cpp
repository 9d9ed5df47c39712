#include "cli/DefaultSettingCommands.h"

#include <cerrno>
#include <cstring>

#include "cli/DataFiles.h"
#include "settings/FetchAndSave.h"
#include "settings/ImportExport.h"
#include "settings/SettingLine.h"
#include "store/FileLock.h"

namespace kv::cli {

int RunExport(CliContext& context, const CommandArguments& arguments) {
    const settings::DefaultSetting setting = LoadLocalDefault(context);
    std::size_t count = 0;
    settings::ExportWatchRows(setting.Rows, count).SaveToFile(arguments.Positional(0));
    context.terminal.Message(settings::ExportMessage(count));
    return 0;
}

int RunImport(CliContext& context, const CommandArguments& arguments) {
    const std::string& path = arguments.Positional(0);
    store::TMlb2 source;
    source.Separator = ",";
    source.QuoteChar = "\"";
    // The window imports nothing from a file it cannot open and so empties the grid; here
    // that would wipe the saved rows on a mistyped name.
    if (!source.LoadFromFile(path)) {
        const int error = errno;
        context.terminal.Note("cannot read " + path + ": " + std::strerror(error) +
                              "; the default rows are left as they were");
        return 1;
    }
    const settings::ImportResult result = settings::ImportWatchRows(source);

    const store::FileLock lock(context.DataFile(settings::kDefaultRowsFile));
    // Only the rows change: env.csv is not written at all, so the mail settings stay byte
    // for byte. Kestrelview.cnf keeps its header; its records become the imported rows.
    store::TMlb2 rows = LoadDataTable(context.DataFile(settings::kDefaultRowsFile));
    rows.ClearRecords();
    for (const settings::RowColumn& column : settings::kRowColumns) {
        rows.AddField(std::string(column.Field));
    }
    for (const settings::WatchRow& row : result.Rows) {
        settings::AppendRowRecord(rows, row);
    }
    rows.SaveToFile(context.DataFile(settings::kDefaultRowsFile));
    context.terminal.Message(settings::ImportSummary(result));
    return 0;
}

}  // namespace kv::cli

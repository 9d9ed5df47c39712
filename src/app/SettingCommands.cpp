#include "app/SettingCommands.h"

#include <optional>
#include <utility>

#include "app/BusyScope.h"
#include "app/ManagerModel.h"
#include "app/SettingNotices.h"
#include "settings/DefaultSettingStore.h"
#include "settings/ImportExport.h"
#include "text/Cp932.h"

namespace kv::app {

namespace {

// The dialog proposes its previous file name with the extension ".csv".
std::string WithCsvExtension(const std::string& name) {
    if (name.empty()) {
        return name;
    }
    const std::size_t slash = name.rfind('/');
    const std::size_t dot = name.rfind('.');
    const bool hasExtension =
        dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return (hasExtension ? name.substr(0, dot) : name) + ".csv";
}

store::TMlb2 CsvTable() {
    store::TMlb2 table;
    table.Separator = ",";
    table.QuoteChar = "\"";
    return table;
}

const std::string& DefaultFilesKeptText() {
    static const std::string text = text::Sjis("デフォルト設定はファイルに保存されませんでした。");
    return text;
}

}  // namespace

settings::DefaultSetting SettingCommands::LoadDefaults(const std::string& dataDir) {
    for (auto [table, name] : {std::pair{&rowsTable_, settings::kDefaultRowsFile},
                               std::pair{&mailTable_, settings::kDefaultMailFile}}) {
        *table = CsvTable();
        table->LoadFromFile(dataDir + std::string(name));
        table->First();
    }
    defaultFiles_.Remember(DefaultFilePaths(dataDir));
    settings::DefaultSetting loaded = settings::LoadDefaultSetting(rowsTable_, mailTable_);
    hiddenDefaultRecords_ = loaded.HiddenRecords;
    defaultNotices_.clear();
    if (hiddenDefaultRecords_ > 0) {
        defaultNotices_.push_back(
            RowsBeyondGridNotice(text::Sjis("Kestrelview.cnfには"),
                                 hiddenDefaultRecords_ + settings::kMaxWatchRows) +
            text::Sjis("表示されない行はファイルに残ります。"));
    }
    if (!loaded.CarriedRecords.empty() || loaded.MailCarried) {
        std::string where;
        for (const std::size_t record : loaded.CarriedRecords) {
            where.append(where.empty() ? "Kestrelview.cnf " : ", ").append(std::to_string(record));
        }
        if (!where.empty()) {
            where.append(text::Sjis("行目 "));
        }
        if (loaded.MailCarried) {
            where.append("env.csv ");
        }
        where.append(text::Sjis("に"));
        defaultNotices_.push_back(UncarriableNotice(where) +
                                  text::Sjis("保存するとこの表示のとおりに書き込まれます。"));
    }
    return loaded;
}

std::function<bool(std::size_t)> SettingCommands::LoadedServers() const {
    return [this](std::size_t index) { return model_.IsLoaded(model_.ServerNode(index)); };
}

settings::FetchAndSave SettingCommands::Walks(settings::FetchAndSave::Reporter also) {
    RequestGate& requests = model_.Requests();
    settings::FetchAndSave::Requests walkRequests{
        [&requests](std::string_view address, std::string& target) {
            return requests.FetchWatchSetting(address, target);
        },
        [&requests](std::string_view address, const std::vector<std::string>& lines) {
            return requests.SendWatchSetting(address, lines);
        }};
    return table_.Walks(std::move(walkRequests), [this, also = std::move(also)](
                                                     const settings::FetchAndSave::Report& report) {
        if (!report.Message.empty()) {
            model_.Ui().ShowMessage(report.Message);
        }
        if (also) {
            also(report);
        }
    });
}

std::vector<std::string> SettingCommands::DefaultFilePaths(const std::string& dataDir) {
    return {dataDir + std::string(settings::kDefaultRowsFile),
            dataDir + std::string(settings::kDefaultMailFile)};
}

bool SettingCommands::SaveDefaultFiles() {
    const std::vector<std::string> paths = DefaultFilePaths(model_.DataDirectory());
    // kestrelviewctl locks the pair under the rows file's lock.
    return defaultFiles_.Save(model_.Ui(), paths.front(), paths, [&] {
        settings::SaveDefaultSetting(model_.Servers().Entry(0).SettingText, rowsTable_, mailTable_,
                                     model_.DataDirectory(), hiddenDefaultRecords_);
    });
}

void SettingCommands::SaveServerList() {
    if (model_.Ui().ConfirmOkCancel(text::Sjis("サーバ一覧を保存します。\r\nよろしいですか？"))) {
        model_.SaveServerList();
    }
}

void SettingCommands::SaveShownSetting() {
    UserPort& ui = model_.Ui();
    const bool isDefault = model_.CurrentServer() == store::kDefaultSettingAddress;
    if (!ui.ConfirmOkCancel(
            isDefault ? text::Sjis("デフォルト設定情報を保存します。\r\nよろしいですか？")
                      : text::Sjis("設定情報を選択されているリモートサーバへ保存します。\r\n"
                                   "よろしいですか？"))) {
        return;
    }
    ui.MoveFocus(FocusTarget::GridToolBar);
    const std::optional<std::size_t> index = model_.Servers().IndexOf(model_.CurrentServer());
    if (!index) {
        return;
    }
    model_.CaptureWatchSetting(*index);
    if (isDefault && *index == 0) {
        SaveDefaultFiles();
    } else {
        Walks().UploadWatchSetting(*index);
    }
    ui.MoveFocus(FocusTarget::Grid);
}

void SettingCommands::SaveAllSettings() {
    if (!model_.Ui().ConfirmOkCancel(
            text::Sjis("デフォルト設定とリモート接続されているサーバ設定をすべて保存"
                       "します。\r\nよろしいですか？"))) {
        return;
    }
    model_.Ui().MoveFocus(FocusTarget::GridToolBar);
    model_.CaptureShownSetting();
    SaveWalk(&settings::FetchAndSave::SaveAll);
}

void SettingCommands::DistributeDefault() {
    if (model_.Servers().Count() == 0 || model_.Servers().IndexOf(model_.CurrentServer()) != 0) {
        return;
    }
    if (!model_.Ui().ConfirmOkCancel(text::Sjis("デフォルトの設定を接続中のサーバに配布します。\r\n"
                                                "実行すると接続中のサーバの設定は消去されます。\r\n"
                                                "よろしいですか？"))) {
        return;
    }
    model_.Ui().MoveFocus(FocusTarget::GridToolBar);
    model_.CaptureWatchSetting(0);
    SaveWalk(&settings::FetchAndSave::Distribute);
}

void SettingCommands::SaveWalk(void (settings::FetchAndSave::*walk)(
    const settings::FetchAndSave::LoadedFlag&, const settings::FetchAndSave::SaveDefault&)) {
    bool kept = false;
    (Walks().*walk)(LoadedServers(), [&](const std::string&) { kept = !SaveDefaultFiles(); });
    // The uploads went on without the files: the status bar says they were not written.
    if (kept) {
        model_.SetStatusText(DefaultFilesKeptText());
    }
}

void SettingCommands::ImportRows() {
    UserPort& ui = model_.Ui();
    if (!ui.ConfirmOkCancel(text::Sjis("ファイル監視設定をCSVファイルから読み込みます。\r\n"
                                       "この処理を行うと、現在の設定が消去されます。\r\n"
                                       "インポート処理を開始しますか？"))) {
        return;
    }
    FileDialogOptions options;
    options.DefaultExtension = "csv";
    options.Filters = {{"*.csv", "*.csv"}, {"*.txt", "*.txt"}, {"*.*", "*.*"}};
    options.FileName = WithCsvExtension(lastImportName_);
    const std::optional<std::string> path = ui.ChooseOpenFile(options);
    if (!path) {
        return;
    }
    lastImportName_ = *path;
    settings::ImportResult result;
    {
        const BusyScope busy(model_, BusyScope::Cursor);
        store::TMlb2 table = CsvTable();
        table.LoadFromFile(*path);
        result = settings::ImportWatchRows(table);
        model_.ReplaceRows(result.Rows);
    }
    ui.ShowMessage(settings::ImportSummary(result));
}

void SettingCommands::ExportRows() {
    UserPort& ui = model_.Ui();
    FileDialogOptions options;
    options.DefaultExtension = "csv";
    options.Filters = {{"*.csv", "*.csv"}};
    options.FileName = WithCsvExtension(lastExportName_);
    const std::optional<std::string> path = ui.ChooseSaveFile(options);
    if (!path) {
        return;
    }
    lastExportName_ = *path;
    ui.MoveFocus(FocusTarget::GridToolBar);
    std::size_t count = 0;
    {
        const BusyScope busy(model_, BusyScope::Cursor);
        settings::ExportWatchRows(model_.Grid().AllRows(), count).SaveToFile(*path);
    }
    ui.ShowMessage(settings::ExportMessage(count));
}

}  // namespace kv::app

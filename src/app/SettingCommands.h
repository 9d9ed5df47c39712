#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "app/ChangedFiles.h"
#include "settings/FetchAndSave.h"
#include "store/TMlb2.h"

namespace kv::settings {
struct DefaultSetting;
}

namespace kv::app {

class ManagerModel;
class ServerTable;

// The commands that save, distribute, import and export watch settings, and the local
// default store they write. Errors: file failures throw EInOutError for the model's error
// report; per-server upload failures are told by the walks' messages.
class SettingCommands {
public:
    SettingCommands(ManagerModel& model, ServerTable& table) : model_(model), table_(table) {}

    // Loads Kestrelview.cnf and env.csv from `dataDir` as the default setting.
    settings::DefaultSetting LoadDefaults(const std::string& dataDir);
    // What the user is told about the loaded default when the window shows.
    const std::vector<std::string>& DefaultNotices() const { return defaultNotices_; }

    // The fetch and save walks over the model's request port, their messages shown to
    // the user; `also` hears of every outcome after that.
    settings::FetchAndSave Walks(settings::FetchAndSave::Reporter also = {});

    void SaveShownSetting();
    void SaveAllSettings();
    void DistributeDefault();
    void ImportRows();
    void ExportRows();
    void SaveServerList();

private:
    static std::vector<std::string> DefaultFilePaths(const std::string& dataDir);
    // Writes entry 0 to Kestrelview.cnf and env.csv unless they changed on disk and the
    // user declined to overwrite them (false).
    bool SaveDefaultFiles();
    // A save walk with the default files as its first step; when the user kept the files
    // on disk, the status bar says so once the walk is over.
    void SaveWalk(void (settings::FetchAndSave::*walk)(const settings::FetchAndSave::LoadedFlag&,
                                                       const settings::FetchAndSave::SaveDefault&));
    // Servers whose node is marked loaded, by row.
    std::function<bool(std::size_t)> LoadedServers() const;

    ManagerModel& model_;
    ServerTable& table_;
    store::TMlb2 rowsTable_;
    store::TMlb2 mailTable_;
    std::size_t hiddenDefaultRecords_ = 0;
    ChangedFiles defaultFiles_;
    std::vector<std::string> defaultNotices_;
    std::string lastImportName_;
    std::string lastExportName_;
};

}  // namespace kv::app

#pragma once

#include <istream>
#include <string>

#include "cli/CliContext.h"
#include "settings/DefaultSettingStore.h"
#include "store/ServerList.h"
#include "store/TMlb2.h"

namespace kv::cli {

// The local files of the data directory, read as the Manager reads them at start-up, and
// the files and streams named on the command line.

// A comma table of the data directory; a file that cannot be opened gives an empty table.
store::TMlb2 LoadDataTable(const std::string& path);

store::ServerList LoadServerList(const CliContext& context);
void SaveServerList(const CliContext& context, store::ServerList& servers);

// Entry 0 as the Manager builds it from Kestrelview.cnf and env.csv.
settings::DefaultSetting LoadLocalDefault(const CliContext& context);

// The whole file, byte for byte; throws std::runtime_error naming it and the reason.
std::string ReadArgumentFile(const std::string& path);
// The whole stream, byte for byte.
std::string ReadAll(std::istream& in);

}  // namespace kv::cli

#include "cli/DataFiles.h"

#include <cerrno>
#include <cstring>
#include <iterator>
#include <stdexcept>

#include "store/AtomicFile.h"

namespace kv::cli {

store::TMlb2 LoadDataTable(const std::string& path) {
    store::TMlb2 table;
    table.Separator = ",";
    table.QuoteChar = "\"";
    table.LoadFromFile(path);
    return table;
}

store::ServerList LoadServerList(const CliContext& context) {
    store::ServerList servers;
    servers.Load(context.DataFile(settings::kServerListFile));
    return servers;
}

void SaveServerList(const CliContext& context, store::ServerList& servers) {
    servers.Save(context.DataFile(settings::kServerListFile));
}

settings::DefaultSetting LoadLocalDefault(const CliContext& context) {
    return settings::LoadDefaultSetting(
        LoadDataTable(context.DataFile(settings::kDefaultRowsFile)),
        LoadDataTable(context.DataFile(settings::kDefaultMailFile)));
}

std::string ReadArgumentFile(const std::string& path) {
    std::string bytes;
    if (!store::ReadWholeFile(path, bytes)) {
        throw std::runtime_error("cannot read " + path + ": " + std::strerror(errno));
    }
    return bytes;
}

std::string ReadAll(std::istream& in) {
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace kv::cli

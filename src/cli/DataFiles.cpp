#include "cli/DataFiles.h"

#include <cerrno>
#include <cstring>
#include <iterator>
#include <stdexcept>

#include "store/AtomicFile.h"

namespace kv {

TMlb2 LoadDataTable(const std::string& path) {
    TMlb2 table;
    table.Separator = ",";
    table.QuoteChar = "\"";
    table.LoadFromFile(path);
    return table;
}

ServerList LoadServerList(const CliContext& context) {
    ServerList servers;
    servers.Load(context.DataFile(kServerListFile));
    return servers;
}

void SaveServerList(const CliContext& context, ServerList& servers) {
    servers.Save(context.DataFile(kServerListFile));
}

DefaultSetting LoadLocalDefault(const CliContext& context) {
    return LoadDefaultSetting(LoadDataTable(context.DataFile(kDefaultRowsFile)),
                              LoadDataTable(context.DataFile(kDefaultMailFile)));
}

std::string ReadArgumentFile(const std::string& path) {
    std::string bytes;
    if (!ReadWholeFile(path, bytes)) {
        throw std::runtime_error("cannot read " + path + ": " + std::strerror(errno));
    }
    return bytes;
}

std::string ReadAll(std::istream& in) {
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace kv

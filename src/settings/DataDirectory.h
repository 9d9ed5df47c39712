#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kv::settings {

// Where the local files live: the executable's directory unless `--data-dir DIR`
// (or `--data-dir=DIR`) or the environment value KESTRELVIEW_DATA_DIR says otherwise; the
// option wins over the environment. The result ends in "/". Throws std::invalid_argument
// when --data-dir lacks its value.
std::string ResolveDataDirectory(const std::vector<std::string>& arguments,
                                 const std::optional<std::string>& environmentValue,
                                 const std::string& executablePath);

// The running program's own path (from /proc/self/exe); empty when unknown.
std::string ExecutablePath();

// Creates Server.csv (header and the default setting's record), Kestrelview.cnf (header)
// and env.csv (header and one empty record) in `dataDir` when they are missing. An
// existing file is never touched. Throws EInOutError when a missing file cannot be made.
void CreateFirstRunFiles(const std::string& dataDir);

}  // namespace kv::settings

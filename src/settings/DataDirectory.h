#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/BuildInfo.h"

namespace kv::settings {

// What the data directory of an installed program is made of: $XDG_DATA_HOME and the
// home directory ($HOME, else the password database's).
struct UserDirectories {
    std::optional<std::string> xdgDataHome;
    std::optional<std::string> home;

    static UserDirectories OfThisProcess();
};

// Where the local files live, the first that applies:
// 1. `--data-dir DIR` (or `--data-dir=DIR`);
// 2. the environment value KESTRELVIEW_DATA_DIR, when not empty;
// 3. for a program in `installedBinDir` (an installed one, whose own directory is not the
//    user's to write): $XDG_DATA_HOME/kestrelview, or ~/.local/share/kestrelview when
//    XDG_DATA_HOME is unset, empty or relative; created (mode 0700) when missing;
// 4. the executable's directory (a build directory, or a copy of the programs anywhere).
// The result ends in "/". Throws std::invalid_argument when --data-dir lacks its value
// and when an installed program finds no home directory. A directory that cannot be made
// is not an error here: the files' own reads and writes report it.
std::string ResolveDataDirectory(const std::vector<std::string>& arguments,
                                 const std::optional<std::string>& environmentValue,
                                 const std::string& executablePath, const UserDirectories& user,
                                 std::string_view installedBinDir = kInstalledBinDir);

// The same with this process's user directories.
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

#include "settings/DataDirectory.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string_view>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "settings/DefaultSettingStore.h"
#include "store/InOutError.h"
#include "store/ServerList.h"
#include "store/TMlb2.h"

namespace kv::settings {

namespace {

constexpr std::string_view kOption = "--data-dir";

std::string WithSeparator(std::string dir) {
    if (dir.empty() || dir.back() != '/') {
        dir += '/';
    }
    return dir;
}

store::TMlb2 NewTable(std::initializer_list<const char*> fields) {
    store::TMlb2 table;
    table.Separator = ",";
    table.QuoteChar = "\"";
    for (const char* field : fields) {
        table.AddField(field);
    }
    return table;
}

[[noreturn]] void Fail(const std::string& path, int error) {
    throw store::EInOutError(path + ": " + std::strerror(error));
}

void WriteAll(int fd, std::string_view bytes, const std::string& path) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            Fail(path, errno);
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
}

// Writes a complete temporary file and links it to `path`: the link fails when `path`
// exists, so an existing file is never replaced and no half-written one ever appears.
void CreateIfMissing(const std::string& path, std::string_view bytes) {
    if (::access(path.c_str(), F_OK) == 0) {
        return;
    }
    std::string temp = path + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        Fail(path, errno);
    }
    try {
        WriteAll(fd, bytes, temp);
        if (::fsync(fd) != 0) {
            Fail(temp, errno);
        }
    } catch (...) {
        ::close(fd);
        ::unlink(temp.c_str());
        throw;
    }
    ::close(fd);
    const int linked = ::link(temp.c_str(), path.c_str());
    const int error = errno;
    ::unlink(temp.c_str());
    if (linked != 0 && error != EEXIST) {
        Fail(path, error);
    }
}

bool IsAbsolute(const std::optional<std::string>& path) {
    return path && path->starts_with('/');
}

bool SameDirectory(const std::filesystem::path& a, const std::filesystem::path& b) {
    if ((a / "").lexically_normal() == (b / "").lexically_normal()) {
        return true;
    }
    // A bin directory reached through a symbolic link (the executable's path has none).
    std::error_code error;
    return std::filesystem::equivalent(a, b, error);
}

bool IsInstalled(const std::string& executablePath, std::string_view installedBinDir) {
    const std::size_t slash = executablePath.rfind('/');
    return slash != std::string::npos && !installedBinDir.empty() &&
           SameDirectory(executablePath.substr(0, slash + 1), installedBinDir);
}

// Each missing part with mode 0700, as the XDG rule asks.
void MakeDirectories(const std::string& path) {
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        ::mkdir(path.substr(0, slash).c_str(), 0700);
    }
}

std::string UserDataDirectory(const UserDirectories& user) {
    std::string base;
    if (IsAbsolute(user.xdgDataHome)) {
        base = WithSeparator(*user.xdgDataHome);
    } else if (IsAbsolute(user.home)) {
        base = WithSeparator(*user.home) + ".local/share/";
    } else {
        throw std::invalid_argument(
            "no home directory for the data directory: set HOME or XDG_DATA_HOME, or give "
            "--data-dir");
    }
    const std::string dir = base + "kestrelview/";
    MakeDirectories(dir);
    return dir;
}

std::optional<std::string> Variable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
}

std::optional<std::string> HomeOfUser() {
    if (const auto home = Variable("HOME"); IsAbsolute(home)) {
        return home;
    }
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_dir != nullptr) {
        return std::string(found->pw_dir);
    }
    return std::nullopt;
}

}  // namespace

UserDirectories UserDirectories::OfThisProcess() {
    return {Variable("XDG_DATA_HOME"), HomeOfUser()};
}

std::string ResolveDataDirectory(const std::vector<std::string>& arguments,
                                 const std::optional<std::string>& environmentValue,
                                 const std::string& executablePath) {
    return ResolveDataDirectory(arguments, environmentValue, executablePath,
                                UserDirectories::OfThisProcess());
}

std::string ResolveDataDirectory(const std::vector<std::string>& arguments,
                                 const std::optional<std::string>& environmentValue,
                                 const std::string& executablePath, const UserDirectories& user,
                                 std::string_view installedBinDir) {
    std::optional<std::string> option;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == kOption) {
            if (i + 1 >= arguments.size() || arguments[i + 1].empty()) {
                throw std::invalid_argument("--data-dir needs a directory");
            }
            option = arguments[++i];
        } else if (argument.starts_with(std::string(kOption) + "=")) {
            option = argument.substr(kOption.size() + 1);
            if (option->empty()) {
                throw std::invalid_argument("--data-dir needs a directory");
            }
        }
    }
    if (option) {
        return WithSeparator(*option);
    }
    if (environmentValue && !environmentValue->empty()) {
        return WithSeparator(*environmentValue);
    }
    if (IsInstalled(executablePath, installedBinDir)) {
        return UserDataDirectory(user);
    }
    const std::size_t slash = executablePath.rfind('/');
    if (slash == std::string::npos) {
        return "./";
    }
    return executablePath.substr(0, slash + 1);
}

std::string ExecutablePath() {
    std::string path(4096, '\0');
    const ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= path.size()) {
        return {};
    }
    path.resize(static_cast<std::size_t>(length));
    return path;
}

void CreateFirstRunFiles(const std::string& dataDir) {
    const std::string dir = WithSeparator(dataDir);

    store::TMlb2 servers = NewTable({"ServerName", "IPAddress"});
    servers.Append();
    servers.SetField("ServerName", store::kDefaultSettingAddress);
    servers.SetField("IPAddress", store::kDefaultSettingAddress);
    CreateIfMissing(dir + std::string(kServerListFile), servers.ToBytes());

    const store::TMlb2 rows =
        NewTable({"FileName", "SearchString", "SearchCount", "MailAddress", "Command"});
    CreateIfMissing(dir + std::string(kDefaultRowsFile), rows.ToBytes());

    store::TMlb2 mail = NewTable({"MailSubject", "MailBody", "SMTPServer", "FromMailAddress"});
    mail.Append();
    CreateIfMissing(dir + std::string(kDefaultMailFile), mail.ToBytes());
}

}  // namespace kv::settings

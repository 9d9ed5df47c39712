#include "settings/DataDirectory.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string_view>

#include <fcntl.h>
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

}  // namespace

std::string ResolveDataDirectory(const std::vector<std::string>& arguments,
                                 const std::optional<std::string>& environmentValue,
                                 const std::string& executablePath) {
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

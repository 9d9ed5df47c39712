#include "agentd/FileResolver.h"

#include <cstdlib>
#include <memory>
#include <utility>

#include <sys/stat.h>

#include "text/Cp932.h"

namespace kv::agentd {
namespace {

bool IsWithin(const std::string& base, const std::string& path) {
    if (base == "/") {
        return true;
    }
    return path == base || (path.size() > base.size() && path.compare(0, base.size(), base) == 0 &&
                            path[base.size()] == '/');
}

}  // namespace

FileResolver::FileResolver(std::string root, std::string logDir, std::string logRemoteDir,
                           std::vector<std::string> excludes)
    : root_(std::move(root)),
      logDir_(std::move(logDir)),
      logPrefix_(std::move(logRemoteDir)),
      excludes_(std::move(excludes)) {
    if (logPrefix_.empty() || logPrefix_.back() != '/') {
        logPrefix_ += '/';
    }
}

std::optional<std::string> FileResolver::Resolve(std::string_view wirePath) const {
    if (wirePath.empty() || wirePath.front() != '/' ||
        wirePath.find('\0') != std::string_view::npos) {
        return std::nullopt;
    }
    // Names on the wire are Shift_JIS; a path that does not come back to the same bytes
    // could only name a file by accident.
    const std::string diskPath = text::Cp932ToUtf8(wirePath);
    const auto again = text::Utf8ToCp932(diskPath);
    if (!again || *again != wirePath) {
        return std::nullopt;
    }
    if (wirePath.substr(0, logPrefix_.size()) == logPrefix_) {
        const std::string prefixOnDisk = text::Cp932ToUtf8(logPrefix_);
        if (auto found = Inside(logDir_, std::string_view(diskPath).substr(prefixOnDisk.size()))) {
            return found;
        }
    }
    return Inside(root_, std::string_view(diskPath).substr(1));
}

std::optional<std::string> FileResolver::Inside(const std::string& base,
                                                std::string_view relative) const {
    const std::string candidate = base + "/" + std::string(relative);
    const std::unique_ptr<char, decltype(&std::free)> resolved(realpath(candidate.c_str(), nullptr),
                                                               &std::free);
    if (!resolved) {
        return std::nullopt;
    }
    std::string path = resolved.get();
    struct stat info {};
    if (!IsWithin(base, path) || stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return std::nullopt;
    }
    for (const std::string& excluded : excludes_) {
        if (IsWithin(excluded, path)) {
            return std::nullopt;
        }
    }
    return path;
}

}  // namespace kv::agentd

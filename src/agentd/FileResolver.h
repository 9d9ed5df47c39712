#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kv::agentd {

// Maps a remote path of GetFileView.cgi to a file on disk. The served directory stands
// for the Agent's "/"; the log directory is reachable under its own remote path as well,
// wherever it lies. Only regular files that stay inside one of the two directories after
// every "..", "." and symbolic link has been resolved, and outside the excluded
// directories, are handed out.
class FileResolver {
public:
    // `root` and `logDir` are canonical disk paths; `logRemoteDir` is the Shift_JIS remote
    // path of the log directory; `excludes` are disk paths.
    FileResolver(std::string root, std::string logDir, std::string logRemoteDir,
                 std::vector<std::string> excludes = {});

    // The canonical disk path of the file a Shift_JIS remote path names, if it may be served.
    std::optional<std::string> Resolve(std::string_view wirePath) const;

private:
    std::optional<std::string> Inside(const std::string& base, std::string_view relative) const;

    std::string root_;
    std::string logDir_;
    std::string logPrefix_;
    std::vector<std::string> excludes_;
};

}  // namespace kv::agentd

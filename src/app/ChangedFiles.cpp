#include "app/ChangedFiles.h"

#include <optional>

#include <sys/stat.h>

#include "store/FileLock.h"
#include "text/Cp932.h"

namespace kv::app {

ChangedFiles::Stamp ChangedFiles::StampOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return {};
    }
    // An atomic save replaces the file: the inode tells even a write within the same
    // timestamp tick and of the same size.
    return {true,
            static_cast<unsigned long long>(st.st_dev),
            static_cast<unsigned long long>(st.st_ino),
            static_cast<unsigned long long>(st.st_size),
            static_cast<long long>(st.st_mtim.tv_sec),
            static_cast<long long>(st.st_mtim.tv_nsec)};
}

void ChangedFiles::Remember(const std::vector<std::string>& paths) {
    for (const std::string& path : paths) {
        known_[path] = StampOf(path);
    }
}

const std::string* ChangedFiles::FirstChanged(const std::vector<std::string>& paths,
                                              const std::map<std::string, Stamp>& agreed) const {
    for (const std::string& path : paths) {
        const Stamp now = StampOf(path);
        const auto known = known_.find(path);
        const auto seen = agreed.find(path);
        const bool same = (known != known_.end() && known->second == now) ||
                          (seen != agreed.end() && seen->second == now);
        if (!same) {
            return &path;
        }
    }
    return nullptr;
}

bool ChangedFiles::Save(UserPort& ui, const std::string& lockedFile,
                        const std::vector<std::string>& paths, const std::function<void()>& save) {
    // States the user agreed to overwrite. The question is asked without the lock held, so
    // that kestrelviewctl never waits on a dialog; a write during the question asks again.
    std::map<std::string, Stamp> agreed;
    for (;;) {
        std::optional<std::string> changed;
        {
            const store::FileLock lock(lockedFile);
            if (const std::string* path = FirstChanged(paths, agreed)) {
                changed = *path;
            } else {
                save();
                Remember(paths);
                return true;
            }
        }
        const Stamp seen = StampOf(*changed);
        const std::size_t slash = changed->rfind('/');
        const std::string name = slash == std::string::npos ? *changed : changed->substr(slash + 1);
        if (!ui.ConfirmOkCancel(name +
                                text::Sjis(" は読み込んだ後に他のプログラムで変更されています。"
                                           "\r\n上書きしてよろしいですか？"))) {
            return false;
        }
        agreed[*changed] = seen;
    }
}

}  // namespace kv::app

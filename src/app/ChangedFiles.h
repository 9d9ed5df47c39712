#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "app/UserPort.h"

namespace kv::app {

// Remembers how the local files looked when the window loaded or last saved them, so that
// a save notices another program's write in between (kestrelviewctl, a second window) and
// asks before overwriting it. Errors: file failures of the save itself propagate as thrown.
class ChangedFiles {
public:
    // Takes the files' present state as the one the window holds.
    void Remember(const std::vector<std::string>& paths);

    // Runs `save` holding the lock named after `lockedFile` (the lock kestrelviewctl takes
    // around its own read-modify-write of that file). When one of `paths` changed since remembered,
    // the user is asked first (OK/Cancel, naming the file); Cancel writes nothing and returns
    // false. The files are remembered again after the save.
    bool Save(UserPort& ui, const std::string& lockedFile, const std::vector<std::string>& paths,
              const std::function<void()>& save);

private:
    struct Stamp {
        bool Exists = false;
        unsigned long long Device = 0, Inode = 0, Size = 0;
        long long ModifiedSec = 0, ModifiedNsec = 0;
        bool operator==(const Stamp&) const = default;
    };
    static Stamp StampOf(const std::string& path);
    // The first of `paths` whose state is neither the remembered one nor `agreed`'s.
    const std::string* FirstChanged(const std::vector<std::string>& paths,
                                    const std::map<std::string, Stamp>& agreed) const;

    std::map<std::string, Stamp> known_;
};

}  // namespace kv::app

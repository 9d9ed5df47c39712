#pragma once

#include <QString>

namespace kv::ui {

// Records the data directory for other tools, as value RootDir of organisation "Brindlecove",
// application "KestrelviewMan" (an INI file under $XDG_CONFIG_HOME). The Manager never
// reads it back.
class RootDirRecord {
public:
    static const QString& Organisation();
    static const QString& Application();
    // False when the value could not be written; start-up goes on regardless.
    static bool Write(const QString& dataDirectory);
};

}  // namespace kv::ui

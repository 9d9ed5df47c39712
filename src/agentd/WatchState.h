#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "agentd/FilePlace.h"

namespace kv::agentd {

// What the watching keeps across a restart: where reading stands in every followed file
// and how many hits every row has counted toward its count.
struct WatchState {
    // A row is known by what it watches: file, string and count (Shift_JIS).
    struct RowCount {
        std::string fileName;
        std::string searchString;
        std::string searchCount;
        std::uint64_t hits = 0;

        bool operator==(const RowCount&) const = default;
    };

    struct FileRecord {
        // Files left behind first. No place: the file was missing.
        std::vector<FilePlace> places;
        // When its directory was last looked at (file system clock, ns since the epoch).
        std::int64_t seen = 0;

        bool operator==(const FileRecord&) const = default;
    };

    // Disk path -> where reading stands.
    std::map<std::string, FileRecord> files;
    std::vector<RowCount> rows;

    bool operator==(const WatchState&) const = default;
};

// A text of one record a line; strings are written in hexadecimal, so that any byte fits.
std::string FormatWatchState(const WatchState& state);
// False when the text is not such a state (then `state` is left empty).
bool ParseWatchState(const std::string& text, WatchState& state);

}  // namespace kv::agentd

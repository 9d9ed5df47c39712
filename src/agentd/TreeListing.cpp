#include "agentd/TreeListing.h"

#include <algorithm>
#include <utility>
#include <vector>

#include <dirent.h>
#include <sys/stat.h>

#include "text/Cp932.h"

namespace kv::agentd {
namespace {

std::string Join(const std::string& directory, const std::string& name) {
    return directory == "/" ? "/" + name : directory + "/" + name;
}

struct Entry {
    std::string diskName;
    std::string wireName;
    bool directory = false;
};

std::vector<Entry> ReadEntries(const std::string& directory, std::size_t& skipped) {
    std::vector<Entry> entries;
    DIR* stream = opendir(directory.c_str());
    if (stream == nullptr) {
        return entries;
    }
    while (const dirent* item = readdir(stream)) {
        const std::string name = item->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        auto wire = ListableName(name);
        if (!wire) {
            ++skipped;
            continue;
        }
        // The entry type from the directory itself saves a stat per entry where the file
        // system gives it.
        bool directoryEntry = item->d_type == DT_DIR;
        if (item->d_type == DT_UNKNOWN) {
            struct stat info {};
            directoryEntry =
                lstat(Join(directory, name).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
        }
        entries.push_back({name, std::move(*wire), directoryEntry});
    }
    closedir(stream);
    std::sort(entries.begin(), entries.end(),
              [](const Entry& a, const Entry& b) { return a.diskName < b.diskName; });
    return entries;
}

struct Walk {
    const TreeBounds& bounds;
    TreeListing& listing;
    std::size_t entries = 0;
};

void Notice(Walk& walk, std::size_t level, const std::string& sjisText) {
    walk.listing.text.append(level, '\t');
    walk.listing.text += "IsEnd " + sjisText + "\r\n";
    walk.listing.cut = true;
}

bool Excluded(const TreeBounds& bounds, const std::string& path) {
    return std::find(bounds.excludes.begin(), bounds.excludes.end(), path) != bounds.excludes.end();
}

void ListDirectory(const std::string& directory, std::size_t level, Walk& walk) {
    if (level > walk.bounds.maxDepth) {
        Notice(walk, level,
               text::Sjis("（深さ ") + std::to_string(walk.bounds.maxDepth) +
                   text::Sjis(" より下は省略しました）"));
        return;
    }
    for (const Entry& entry : ReadEntries(directory, walk.listing.skipped)) {
        if (walk.listing.cut && walk.entries >= walk.bounds.maxEntries) {
            return;
        }
        const std::string path = Join(directory, entry.diskName);
        if (Excluded(walk.bounds, path)) {
            continue;
        }
        if (walk.entries >= walk.bounds.maxEntries) {
            Notice(walk, level,
                   text::Sjis("（一覧は ") + std::to_string(walk.bounds.maxEntries) +
                       text::Sjis(" 件までです。以下は省略しました）"));
            return;
        }
        ++walk.entries;
        TreeListing& listing = walk.listing;
        listing.text.append(level, '\t');
        if (entry.directory) {
            listing.text += "IsDir ";
        }
        listing.text += entry.wireName;
        listing.text += "\r\n";
        if (entry.directory) {
            ListDirectory(path, level + 1, walk);
        }
    }
}

}  // namespace

std::optional<std::string> ListableName(std::string_view utf8Name) {
    auto sjis = text::Utf8ToCp932(utf8Name);
    if (!sjis || sjis->empty() || text::Cp932ToUtf8(*sjis) != utf8Name || sjis->front() == ' ') {
        return std::nullopt;
    }
    const bool control = std::any_of(sjis->begin(), sjis->end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u < 0x20 || u == 0x7F;
    });
    if (control || sjis->find("IsDir ") != std::string::npos ||
        sjis->find("IsEnd ") != std::string::npos) {
        return std::nullopt;
    }
    return sjis;
}

TreeListing BuildTreeListing(const std::string& root, const TreeBounds& bounds) {
    TreeListing listing;
    listing.text = "IsDir /\r\n";
    Walk walk{bounds, listing};
    ListDirectory(root, 1, walk);
    return listing;
}

}  // namespace kv::agentd
